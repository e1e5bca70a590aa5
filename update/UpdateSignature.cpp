#include "UpdateSignature.h"

#include "UpdatePublicKeyData.h" // generated at build time from the configured key file

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <memory>

namespace quillory {

namespace {

constexpr std::size_t kSignatureBytes = 64;

struct TPKeyFree {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct TBIOFree {
    void operator()(BIO* b) const { BIO_free(b); }
};
struct TMDCtxFree {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};
struct TPKeyCtxFree {
    void operator()(EVP_PKEY_CTX* c) const { EVP_PKEY_CTX_free(c); }
};
using TPKey = std::unique_ptr<EVP_PKEY, TPKeyFree>;
using TBIO = std::unique_ptr<BIO, TBIOFree>;

// OpenSSL keeps errors in a per-thread queue; nothing here reads them, so
// they are dropped to keep later TLS error reports clean.
struct TClearErrors {
    ~TClearErrors() { ERR_clear_error(); }
};

TBIO MemoryBIO(const std::string& text) {
    if (text.size() > 64 * 1024)
        return nullptr;
    return TBIO(BIO_new_mem_buf(text.data(), static_cast<int>(text.size())));
}

TPKey ReadPublicKey(const std::string& pem) {
    TBIO bio = MemoryBIO(pem);
    if (!bio)
        return nullptr;
    TPKey key(PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr));
    if (!key || EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_ED25519)
        return nullptr;
    return key;
}

TPKey ReadPrivateKey(const std::string& pem) {
    TBIO bio = MemoryBIO(pem);
    if (!bio)
        throw EUpdateKeyError("The private key cannot be read.");
    TPKey key(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
    if (!key)
        throw EUpdateKeyError("The private key cannot be read.");
    if (EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_ED25519)
        throw EUpdateKeyError("The private key is not an Ed25519 key.");
    return key;
}

std::string BIOText(BIO* bio) {
    char* data = nullptr;
    const long n = BIO_get_mem_data(bio, &data);
    return n > 0 ? std::string(data, static_cast<std::size_t>(n)) : std::string();
}

std::string PublicPemOf(EVP_PKEY* key) {
    TBIO out(BIO_new(BIO_s_mem()));
    if (!out || PEM_write_bio_PUBKEY(out.get(), key) != 1)
        throw EUpdateKeyError("The public key cannot be written.");
    return BIOText(out.get());
}

int Base64Value(unsigned char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

} // namespace

const std::string& BuiltInUpdatePublicKey() {
    static const std::string key = kBuiltInUpdatePublicKeyPem;
    return key;
}

const char* DescribeDescriptorCheck(TDescriptorCheck result) {
    switch (result) {
    case TDescriptorCheck::Valid:
        return "signature valid";
    case TDescriptorCheck::TooLarge:
        return "descriptor too large";
    case TDescriptorCheck::NoSignature:
        return "no signature";
    case TDescriptorCheck::BadSignatureText:
        return "signature file is not 64 bytes of Base64";
    case TDescriptorCheck::BadKey:
        return "the update public key is not usable";
    case TDescriptorCheck::BadSignature:
        return "signature does not match";
    }
    return "unknown";
}

bool DecodeBase64Strict(const std::string& text, std::string& bytes) {
    bytes.clear();
    if (text.size() % 4 != 0)
        return false;
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        int v[4];
        int pad = 0;
        for (int k = 0; k < 4; ++k) {
            const unsigned char c =
                static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if (c == '=' && last && k >= 2) {
                v[k] = 0;
                ++pad;
                continue;
            }
            if (pad > 0) // data after padding
                return false;
            v[k] = Base64Value(c);
            if (v[k] < 0)
                return false;
        }
        const unsigned triple = (unsigned(v[0]) << 18) | (unsigned(v[1]) << 12) |
                                (unsigned(v[2]) << 6) | unsigned(v[3]);
        bytes += static_cast<char>((triple >> 16) & 0xFF);
        if (pad < 2)
            bytes += static_cast<char>((triple >> 8) & 0xFF);
        if (pad < 1)
            bytes += static_cast<char>(triple & 0xFF);
        // The bits that padding leaves over must be zero (one spelling per value).
        if ((pad == 1 && (triple & 0xFF) != 0) || (pad == 2 && (triple & 0xFFFF) != 0))
            return false;
    }
    return true;
}

std::string EncodeBase64Text(const std::string& bytes) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        unsigned triple = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            triple |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            triple |= static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[(triple >> 18) & 63];
        out += kAlphabet[(triple >> 12) & 63];
        out += i + 1 < bytes.size() ? kAlphabet[(triple >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kAlphabet[triple & 63] : '=';
    }
    return out;
}

TDescriptorCheck CheckUpdateDescriptor(const std::string& descriptor,
                                       const std::string& signatureText,
                                       const std::string& publicKeyPem) {
    TClearErrors clear;
    if (descriptor.size() > kMaxUpdateDescriptorSize)
        return TDescriptorCheck::TooLarge;
    if (signatureText.empty())
        return TDescriptorCheck::NoSignature;
    if (signatureText.size() > kMaxUpdateSignatureSize)
        return TDescriptorCheck::BadSignatureText;
    // The Base64 text, then nothing but blanks and line breaks.
    std::string text = signatureText;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' ||
                             text.back() == '\t'))
        text.pop_back();
    std::string signature;
    if (!DecodeBase64Strict(text, signature) || signature.size() != kSignatureBytes)
        return TDescriptorCheck::BadSignatureText;
    TPKey key = ReadPublicKey(publicKeyPem);
    if (!key)
        return TDescriptorCheck::BadKey;
    std::unique_ptr<EVP_MD_CTX, TMDCtxFree> ctx(EVP_MD_CTX_new());
    if (!ctx || EVP_DigestVerifyInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return TDescriptorCheck::BadKey;
    const int ok = EVP_DigestVerify(
        ctx.get(), reinterpret_cast<const unsigned char*>(signature.data()), signature.size(),
        reinterpret_cast<const unsigned char*>(descriptor.data()), descriptor.size());
    return ok == 1 ? TDescriptorCheck::Valid : TDescriptorCheck::BadSignature;
}

TUpdateKeyPair GenerateUpdateKeyPair() {
    TClearErrors clear;
    std::unique_ptr<EVP_PKEY_CTX, TPKeyCtxFree> ctx(EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr));
    EVP_PKEY* raw = nullptr;
    if (!ctx || EVP_PKEY_keygen_init(ctx.get()) != 1 || EVP_PKEY_keygen(ctx.get(), &raw) != 1)
        throw EUpdateKeyError("An Ed25519 key pair cannot be made.");
    TPKey key(raw);
    TBIO out(BIO_new(BIO_s_mem()));
    if (!out ||
        PEM_write_bio_PrivateKey(out.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1)
        throw EUpdateKeyError("The private key cannot be written.");
    TUpdateKeyPair pair;
    pair.PrivatePem = BIOText(out.get());
    pair.PublicPem = PublicPemOf(key.get());
    return pair;
}

std::string UpdatePublicKeyOf(const std::string& privateKeyPem) {
    TClearErrors clear;
    TPKey key = ReadPrivateKey(privateKeyPem);
    return PublicPemOf(key.get());
}

std::string SignUpdateDescriptor(const std::string& privateKeyPem, const std::string& descriptor) {
    TClearErrors clear;
    if (descriptor.size() > kMaxUpdateDescriptorSize)
        throw EUpdateKeyError("The descriptor is larger than " +
                              std::to_string(kMaxUpdateDescriptorSize) +
                              " bytes; the program would refuse it.");
    TPKey key = ReadPrivateKey(privateKeyPem);
    std::unique_ptr<EVP_MD_CTX, TMDCtxFree> ctx(EVP_MD_CTX_new());
    unsigned char signature[kSignatureBytes];
    std::size_t length = sizeof signature;
    if (!ctx || EVP_DigestSignInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) != 1 ||
        EVP_DigestSign(ctx.get(), signature, &length,
                       reinterpret_cast<const unsigned char*>(descriptor.data()),
                       descriptor.size()) != 1 ||
        length != kSignatureBytes)
        throw EUpdateKeyError("The descriptor cannot be signed.");
    return EncodeBase64Text(std::string(reinterpret_cast<const char*>(signature), length)) + "\n";
}

} // namespace quillory
