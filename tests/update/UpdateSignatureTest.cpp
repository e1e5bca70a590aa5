// The signature check of update descriptors, with key pairs made here.
#include "update/UpdateSignature.h"
#include "update/UpdateDescriptor.h"

#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

#include <limits>

using namespace quillory;

namespace {

const TUpdateKeyPair& Keys() {
    static const TUpdateKeyPair keys = GenerateUpdateKeyPair();
    return keys;
}

TEST(UpdateSignature, OnlyTheExactBytesSignedWithTheKeyPass) {
    const std::string text = "[APPLICATION]\r\nVersion=1.02\r\n";
    const std::string sig = SignUpdateDescriptor(Keys().PrivatePem, text);
    const std::string otherKeys = GenerateUpdateKeyPair().PrivatePem;
    std::string flipped = sig;
    flipped[10] = flipped[10] == 'A' ? 'B' : 'A';
    std::string big(kMaxUpdateDescriptorSize, ';');
    std::string tooBig = big + ";";
    const std::string bigSig = SignUpdateDescriptor(Keys().PrivatePem, big);
    struct {
        const char* Name;
        std::string Descriptor, Signature, Key;
        TDescriptorCheck Expected;
    } cases[] = {
        {"signed", text, sig, Keys().PublicPem, TDescriptorCheck::Valid},
        {"CR LF after the signature", text, sig.substr(0, 88) + "\r\n", Keys().PublicPem,
         TDescriptorCheck::Valid},
        {"no line break", text, sig.substr(0, 88), Keys().PublicPem, TDescriptorCheck::Valid},
        {"largest descriptor", big, bigSig, Keys().PublicPem, TDescriptorCheck::Valid},
        {"one byte more than the largest", tooBig, bigSig, Keys().PublicPem,
         TDescriptorCheck::TooLarge},
        {"descriptor changed", "[APPLICATION]\r\nVersion=9.02\r\n", sig, Keys().PublicPem,
         TDescriptorCheck::BadSignature},
        {"descriptor cut short", text.substr(0, text.size() - 1), sig, Keys().PublicPem,
         TDescriptorCheck::BadSignature},
        {"signature changed", text, flipped, Keys().PublicPem, TDescriptorCheck::BadSignature},
        {"another key's signature", text, SignUpdateDescriptor(otherKeys, text), Keys().PublicPem,
         TDescriptorCheck::BadSignature},
        {"checked against the built-in key", text, sig, BuiltInUpdatePublicKey(),
         TDescriptorCheck::BadSignature},
        {"empty signature", text, "", Keys().PublicPem, TDescriptorCheck::NoSignature},
        {"blank before the signature", text, " " + sig, Keys().PublicPem,
         TDescriptorCheck::BadSignatureText},
        {"signature as raw bytes", text, std::string(64, '\x01'), Keys().PublicPem,
         TDescriptorCheck::BadSignatureText},
        {"Base64 of 63 bytes", text, EncodeBase64Text(std::string(63, 'a')), Keys().PublicPem,
         TDescriptorCheck::BadSignatureText},
        {"Base64 of 65 bytes", text, EncodeBase64Text(std::string(65, 'a')), Keys().PublicPem,
         TDescriptorCheck::BadSignatureText},
        {"huge signature file", text, sig + std::string(2000, ' '), Keys().PublicPem,
         TDescriptorCheck::BadSignatureText},
        {"private key given as public", text, sig, Keys().PrivatePem, TDescriptorCheck::BadKey},
        {"no key", text, sig, "", TDescriptorCheck::BadKey},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CheckUpdateDescriptor(c.Descriptor, c.Signature, c.Key), c.Expected) << c.Name;
}

TEST(UpdateSignature, KeysAndSigningRefuseWhatTheProgramWouldRefuse) {
    // The built-in key is an Ed25519 public key the check can use.
    EXPECT_EQ(BuiltInUpdatePublicKey().rfind("-----BEGIN PUBLIC KEY-----\n", 0), 0u);
    EXPECT_NE(CheckUpdateDescriptor("x", SignUpdateDescriptor(Keys().PrivatePem, "x")),
              TDescriptorCheck::BadKey);
    EXPECT_EQ(UpdatePublicKeyOf(Keys().PrivatePem), Keys().PublicPem);
    // Each new pair is a different one.
    EXPECT_NE(GenerateUpdateKeyPair().PrivatePem, Keys().PrivatePem);
    EXPECT_THROW(SignUpdateDescriptor(Keys().PublicPem, "x"), EUpdateKeyError);
    EXPECT_THROW(SignUpdateDescriptor("garbage", "x"), EUpdateKeyError);
    EXPECT_THROW(
        SignUpdateDescriptor(Keys().PrivatePem, std::string(kMaxUpdateDescriptorSize + 1, 'x')),
        EUpdateKeyError);
    // Ed25519 signatures are deterministic: the same bytes, the same file.
    EXPECT_EQ(SignUpdateDescriptor(Keys().PrivatePem, "abc"),
              SignUpdateDescriptor(Keys().PrivatePem, "abc"));
    EXPECT_EQ(SignUpdateDescriptor(Keys().PrivatePem, "abc").size(), 89u); // 88 + line break
}

TEST(UpdateSignature, Base64IsReadStrictly) {
    struct {
        const char* Text;
        bool Ok;
        std::string Bytes;
    } cases[] = {
        {"", true, ""},
        {"YQ==", true, "a"},
        {"YWI=", true, "ab"},
        {"YWJj", true, "abc"},
        {"+/+/", true, "\xfb\xff\xbf"},
        {"YQ", false, ""},       // padding missing
        {"YQ=", false, ""},      // length not a multiple of 4
        {"Y===", false, ""},     // too much padding
        {"YR==", false, ""},     // bits left over after the padding
        {"YQ==YWJj", false, ""}, // data after padding
        {"YW J", false, ""},     // blank inside
        {"YW-j", false, ""},     // URL-safe alphabet
        {"=QWE", false, ""},
    };
    for (const auto& c : cases) {
        std::string bytes = "left over";
        EXPECT_EQ(DecodeBase64Strict(c.Text, bytes), c.Ok) << c.Text;
        if (c.Ok) {
            EXPECT_EQ(bytes, c.Bytes) << c.Text;
            EXPECT_EQ(EncodeBase64Text(c.Bytes), c.Text);
        }
    }
}

TEST(UpdateDescriptorVersion, ReadFromTheDescriptorText) {
    struct {
        const char* Descriptor;
        char Separator;
        std::string Text;
        float Version;
    } cases[] = {
        {"[APPLICATION]\r\nVersion=1.02\r\n", '.', "1.02", 1.02f},
        {"[application]\nversion = \"2\"\n", '.', "2", 2.0f},
        {"[APPLICATION]\r\nName=x\r\n", '.', "", 0.0f},
        {"[OTHER]\r\nVersion=3\r\n", '.', "", 0.0f},
        {"[APPLICATION]\r\nVersion=1,5\r\n", '.', "1,5", 0.0f},
        {"[APPLICATION]\r\nVersion=1,5\r\n", ',', "1,5", 1.5f},
        // Beyond the single-precision range: very large, never undefined.
        {"[APPLICATION]\r\nVersion=1e300\r\n", '.', "1e300",
         std::numeric_limits<float>::infinity()},
        {"[APPLICATION]\r\nVersion=-1e300\r\n", '.', "-1e300",
         -std::numeric_limits<float>::infinity()},
    };
    for (const auto& c : cases) {
        const std::string text = DescriptorVersionText(c.Descriptor);
        EXPECT_EQ(text, c.Text) << c.Descriptor;
        EXPECT_EQ(DescriptorVersion(text, c.Separator), c.Version) << c.Descriptor;
    }
}

} // namespace

namespace {

// Runs the signing tool; returns its exit status.
int RunSignTool(const std::string& args) {
    const std::string command = std::string(QUILLORY_SIGN_TOOL) + " " + args + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SignTool, MakesAPrivateKeySignsAndVerifiesAsTheProgramDoes) {
    namespace fs = std::filesystem;
    const fs::path dir =
        fs::temp_directory_path() / ("quillory-sign-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string key = (dir / "k").string(), descriptor = (dir / "m.inf").string();
    WriteWholeFile(descriptor, "[APPLICATION]\r\nVersion=1.02\r\n");
    struct {
        std::string Args;
        int Status;
    } steps[] = {
        {"--generate " + key, 0},
        {"--generate " + key, 1}, // never overwrites a key
        {key + " " + descriptor, 0},
        {"--verify " + key + ".pub " + descriptor, 0},
        {key + ".pub " + descriptor, 1}, // a public key cannot sign
        {"", 2},
    };
    for (const auto& s : steps)
        EXPECT_EQ(RunSignTool(s.Args), s.Status) << s.Args;
    EXPECT_EQ(fs::status(key).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    // The signature file is what the program accepts with the key's public half.
    EXPECT_EQ(CheckUpdateDescriptor(ReadWholeFile(descriptor), ReadWholeFile(descriptor + ".sig"),
                                    ReadWholeFile(key + ".pub")),
              TDescriptorCheck::Valid);
    // One byte changed after signing: the tool's check refuses it too.
    WriteWholeFile(descriptor, "[APPLICATION]\r\nVersion=9.02\r\n");
    EXPECT_EQ(RunSignTool("--verify " + key + ".pub " + descriptor), 1);
    fs::remove_all(dir);
}

} // namespace
