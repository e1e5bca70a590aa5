// Update descriptors as they come from the update folder: the input is the
// signature file's text, a line break, then the descriptor. Any bytes must be
// checked without harm; only a signature made with the key must pass; and a
// descriptor that passes must have its version read.
#include "update/UpdateDescriptor.h"
#include "update/UpdateSignature.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace quillory;

namespace {

const TUpdateKeyPair& Keys() {
    static const TUpdateKeyPair keys = GenerateUpdateKeyPair();
    return keys;
}

void ReadVersion(const std::string& descriptor) {
    const std::string text = DescriptorVersionText(descriptor);
    for (char separator : {'.', ','}) {
        const float version = DescriptorVersion(text, separator);
        if (version != version) // never NaN
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\n');
    const std::string signature = split == std::string::npos ? input : input.substr(0, split + 1);
    const std::string descriptor = split == std::string::npos ? "" : input.substr(split + 1);

    // Arbitrary signature text against the built-in key and a fresh one:
    // nobody here holds either private key, so nothing may pass.
    if (CheckUpdateDescriptor(descriptor, signature) == TDescriptorCheck::Valid ||
        CheckUpdateDescriptor(descriptor, signature, Keys().PublicPem) == TDescriptorCheck::Valid)
        std::abort();

    // The same descriptor signed with the key passes exactly when it is not
    // too large, and then its version is read as the program reads it.
    if (descriptor.size() <= kMaxUpdateDescriptorSize) {
        const std::string good = SignUpdateDescriptor(Keys().PrivatePem, descriptor);
        if (CheckUpdateDescriptor(descriptor, good, Keys().PublicPem) != TDescriptorCheck::Valid)
            std::abort();
        ReadVersion(descriptor);
    }
    return 0;
}
