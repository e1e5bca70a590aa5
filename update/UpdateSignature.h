#pragma once
// Signed update descriptors. A descriptor is accepted only together with an
// Ed25519 signature over its exact bytes, made with the maker's private key
// and checked against the public key built into the program. The signature
// travels beside the descriptor as a text file: the 64 signature bytes in
// Base64 (88 characters), optionally followed by blanks or a line break.
// Keys are PEM files: the private key as PKCS #8, the public key as
// SubjectPublicKeyInfo. Qt-free, so the signing tool and the fuzzers use it.
#include <cstddef>
#include <stdexcept>
#include <string>

namespace quillory {

// The largest descriptor and signature file taken from the update folder.
inline constexpr std::size_t kMaxUpdateDescriptorSize = 64 * 1024;
inline constexpr std::size_t kMaxUpdateSignatureSize = 1024;
// The signature file's name is the descriptor's followed by this.
inline constexpr const char* UpdateSignatureSuffix = ".sig";

// The public key the program was built with (PEM text).
const std::string& BuiltInUpdatePublicKey();

enum class TDescriptorCheck {
    Valid,
    TooLarge,         // the descriptor is over kMaxUpdateDescriptorSize
    NoSignature,      // the signature file is empty
    BadSignatureText, // not 64 bytes of Base64
    BadKey,           // the public key is not an Ed25519 public key
    BadSignature,     // the signature does not match the descriptor
};

// What went wrong, in a few words, for the log.
const char* DescribeDescriptorCheck(TDescriptorCheck result);

// Checks `descriptor` against the signature file's text with `publicKeyPem`.
TDescriptorCheck CheckUpdateDescriptor(const std::string& descriptor,
                                       const std::string& signatureText,
                                       const std::string& publicKeyPem = BuiltInUpdatePublicKey());

// Raised by the key and signing helpers below.
class EUpdateKeyError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TUpdateKeyPair {
    std::string PrivatePem;
    std::string PublicPem;
};

// A fresh Ed25519 key pair.
TUpdateKeyPair GenerateUpdateKeyPair();
// The public key (PEM) of a private key (PEM).
std::string UpdatePublicKeyOf(const std::string& privateKeyPem);
// The signature file's text for `descriptor`: Base64 and a line break.
std::string SignUpdateDescriptor(const std::string& privateKeyPem, const std::string& descriptor);

// Strict Base64 (standard alphabet, "=" padding required); false on any
// other character or a wrong length.
bool DecodeBase64Strict(const std::string& text, std::string& bytes);
std::string EncodeBase64Text(const std::string& bytes);

} // namespace quillory
