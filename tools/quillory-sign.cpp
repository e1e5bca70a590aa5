// quillory-sign: makes the update key pair and signs update descriptors.
//
//   quillory-sign --generate KEYFILE      a new Ed25519 key pair: the private
//                                         key in KEYFILE (mode 0600, never
//                                         overwritten), the public key in
//                                         KEYFILE.pub
//   quillory-sign KEYFILE DESCRIPTOR      writes DESCRIPTOR.sig, the signature
//                                         file the program fetches beside it
//   quillory-sign --verify PUBKEY DESCRIPTOR
//                                         checks DESCRIPTOR.sig as the program
//                                         would (exit status 0 when valid)
#include "platform/FileSystem.h"
#include "update/UpdateSignature.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillory;

namespace {

int Usage() {
    std::fprintf(stderr, "usage: quillory-sign --generate KEYFILE\n"
                         "       quillory-sign KEYFILE DESCRIPTOR\n"
                         "       quillory-sign --verify PUBLICKEYFILE DESCRIPTOR\n");
    return 2;
}

// Creates `path` with `mode`, refusing to replace an existing file.
void CreateNewFile(const std::string& path, const std::string& bytes, mode_t mode) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0)
        throw std::runtime_error("cannot create " + path + ": " + std::strerror(errno));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const std::string reason = std::strerror(errno);
            ::close(fd);
            ::unlink(path.c_str());
            throw std::runtime_error("cannot write " + path + ": " + reason);
        }
        done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0)
        throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
}

// A regular file's bytes, refusing anything larger than `limit`.
std::string ReadInput(const std::string& path, std::size_t limit) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        throw std::runtime_error("cannot read " + path + ": " + std::strerror(errno));
    if (!S_ISREG(st.st_mode))
        throw std::runtime_error(path + " is not a regular file");
    if (static_cast<std::uint64_t>(st.st_size) > limit)
        throw std::runtime_error(path + " is larger than " + std::to_string(limit) + " bytes");
    return ReadWholeFile(path);
}

int Generate(const std::string& keyFile) {
    const TUpdateKeyPair pair = GenerateUpdateKeyPair();
    const std::string publicFile = keyFile + ".pub";
    if (FileExists(publicFile))
        throw std::runtime_error(publicFile + " already exists");
    CreateNewFile(keyFile, pair.PrivatePem, 0600);
    CreateNewFile(publicFile, pair.PublicPem, 0644);
    std::printf("private key: %s (keep it secret, never commit it)\npublic key:  %s\n",
                keyFile.c_str(), publicFile.c_str());
    return 0;
}

int Sign(const std::string& keyFile, const std::string& descriptorFile) {
    const std::string key = ReadInput(keyFile, 64 * 1024);
    const std::string descriptor = ReadInput(descriptorFile, kMaxUpdateDescriptorSize);
    const std::string signature = SignUpdateDescriptor(key, descriptor);
    // The descriptor must still verify with the key's public half.
    if (CheckUpdateDescriptor(descriptor, signature, UpdatePublicKeyOf(key)) !=
        TDescriptorCheck::Valid)
        throw std::runtime_error("the signature does not verify");
    const std::string sigFile = descriptorFile + UpdateSignatureSuffix;
    WriteWholeFile(sigFile, signature);
    std::printf("%s\n", sigFile.c_str());
    return 0;
}

int Verify(const std::string& publicKeyFile, const std::string& descriptorFile) {
    const std::string key = ReadInput(publicKeyFile, 64 * 1024);
    const std::string descriptor = ReadInput(descriptorFile, kMaxUpdateDescriptorSize);
    const std::string signature =
        ReadInput(descriptorFile + UpdateSignatureSuffix, kMaxUpdateSignatureSize);
    const TDescriptorCheck result = CheckUpdateDescriptor(descriptor, signature, key);
    std::printf("%s: %s\n", descriptorFile.c_str(), DescribeDescriptorCheck(result));
    return result == TDescriptorCheck::Valid ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    try {
        if (argc == 3 && std::strcmp(argv[1], "--generate") == 0)
            return Generate(argv[2]);
        if (argc == 4 && std::strcmp(argv[1], "--verify") == 0)
            return Verify(argv[2], argv[3]);
        if (argc == 3 && argv[1][0] != '-')
            return Sign(argv[1], argv[2]);
        return Usage();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quillory-sign: %s\n", e.what());
        return 1;
    }
}
