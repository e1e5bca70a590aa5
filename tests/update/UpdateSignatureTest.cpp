// The signature check of update descriptors, with key pairs made here.
#include "update/UpdateSignature.h"
#include "update/UpdateDescriptor.h"

#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <limits>
#include <optional>
#include <sys/wait.h>
#include <unistd.h>

using namespace quillory;

namespace {

const TUpdateKeyPair& Keys() {
    static const TUpdateKeyPair keys = GenerateUpdateKeyPair();
    return keys;
}

TEST(UpdateSignature, OnlyTheExactBytesSignedWithTheKeyPass) {
    const std::string text = "[APPLICATION]\r\nVersion=1.02\r\n";
    const std::string pub = Keys().PublicPem, sig = SignUpdateDescriptor(Keys().PrivatePem, text);
    const std::string otherKeys = GenerateUpdateKeyPair().PrivatePem;
    std::string flipped = sig;
    flipped[10] = flipped[10] == 'A' ? 'B' : 'A';
    const std::string big(kMaxUpdateDescriptorSize, ';'), tooBig = big + ";";
    const std::string bigSig = SignUpdateDescriptor(Keys().PrivatePem, big);
    using C = TDescriptorCheck;
    struct {
        const char* Name;
        std::string Descriptor, Signature, Key;
        C Expected;
    } cases[] = {
        {"signed", text, sig, pub, C::Valid},
        {"no line break", text, sig.substr(0, 88), pub, C::Valid},
        {"blank and CR LF after it", text, sig.substr(0, 88) + " \r\n", pub, C::Valid},
        {"largest descriptor", big, bigSig, pub, C::Valid},
        {"one byte more than the largest", tooBig, bigSig, pub, C::TooLarge},
        {"descriptor changed", "[APPLICATION]\r\nVersion=9.02\r\n", sig, pub, C::BadSignature},
        {"signature changed", text, flipped, pub, C::BadSignature},
        {"another key's signature", text, SignUpdateDescriptor(otherKeys, text), pub,
         C::BadSignature},
        {"checked against the built-in key", text, sig, BuiltInUpdatePublicKey(), C::BadSignature},
        {"empty signature", text, "", pub, C::NoSignature},
        {"blank before the signature", text, " " + sig, pub, C::BadSignatureText},
        {"signature as raw bytes", text, std::string(64, '\x01'), pub, C::BadSignatureText},
        {"Base64 of 63 bytes", text, EncodeBase64Text(std::string(63, 'a')), pub,
         C::BadSignatureText},
        {"Base64 of 65 bytes", text, EncodeBase64Text(std::string(65, 'a')), pub,
         C::BadSignatureText},
        {"huge signature file", text, sig + std::string(2000, ' '), pub, C::BadSignatureText},
        {"private key given as public", text, sig, Keys().PrivatePem, C::BadKey},
        {"no key", text, sig, "", C::BadKey},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CheckUpdateDescriptor(c.Descriptor, c.Signature, c.Key), c.Expected) << c.Name;
}

TEST(UpdateSignature, KeysAndSigningRefuseWhatTheProgramWouldRefuse) {
    // The built-in key is a public key the check can use.
    EXPECT_NE(CheckUpdateDescriptor("x", SignUpdateDescriptor(Keys().PrivatePem, "x")),
              TDescriptorCheck::BadKey);
    EXPECT_EQ(UpdatePublicKeyOf(Keys().PrivatePem), Keys().PublicPem);
    EXPECT_THROW(SignUpdateDescriptor(Keys().PublicPem, "x"), EUpdateKeyError);
    EXPECT_THROW(SignUpdateDescriptor("garbage", "x"), EUpdateKeyError);
    EXPECT_THROW(
        SignUpdateDescriptor(Keys().PrivatePem, std::string(kMaxUpdateDescriptorSize + 1, 'x')),
        EUpdateKeyError);
    EXPECT_EQ(SignUpdateDescriptor(Keys().PrivatePem, "abc").size(), 89u); // 88 + line break
}

TEST(UpdateSignature, Base64IsReadStrictly) {
    // Refused: padding missing, length not a multiple of 4, too much padding,
    // bits left over after it, data after it, the URL-safe alphabet.
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"", ""},         {"YQ==", "a"}, {"YWJj", "abc"}, {"+/+/", "\xfb\xff\xbf"},
        {"YQ", {}},       {"YQ=", {}},   {"Y===", {}},    {"YR==", {}},
        {"YQ==YWJj", {}}, {"YW-j", {}},  {"=QWE", {}},
    };
    for (const auto& [text, expected] : cases) {
        std::string bytes = "left over";
        EXPECT_EQ(DecodeBase64Strict(text, bytes), expected.has_value()) << text;
        if (expected) {
            EXPECT_EQ(bytes, *expected) << text;
            EXPECT_EQ(EncodeBase64Text(*expected), text);
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
        {"[APPLICATION]\r\nVersion=1,5\r\n", '.', "1,5", 0.0f},
        {"[APPLICATION]\r\nVersion=1,5\r\n", ',', "1,5", 1.5f},
        // Beyond the single-precision range: very large, never undefined.
        {"[APPLICATION]\r\nVersion=1e300\r\n", '.', "1e300",
         std::numeric_limits<float>::infinity()},
    };
    for (const auto& c : cases) {
        const std::string text = DescriptorVersionText(c.Descriptor);
        EXPECT_EQ(text, c.Text) << c.Descriptor;
        EXPECT_EQ(DescriptorVersion(text, c.Separator), c.Version) << c.Descriptor;
    }
}

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
