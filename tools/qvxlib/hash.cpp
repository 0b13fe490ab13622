// SHA-256 through OpenSSL's EVP interface, which uses the CPU's SHA
// instructions where there are any.
#include <openssl/evp.h>

#include <memory>

#include "qvxlib.h"
#include "toolkit/sysutils.h"

namespace qvxlib {

namespace {
std::string Hex(const unsigned char* digest, unsigned size) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(size * 2);
    for (unsigned i = 0; i < size; ++i) {
        out += digits[digest[i] >> 4];
        out += digits[digest[i] & 15];
    }
    return out;
}
}  // namespace

struct Sha256::Ctx {
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> md{EVP_MD_CTX_new(), &EVP_MD_CTX_free};
};

Sha256::Sha256() : ctx_(std::make_unique<Ctx>()) {
    if (!ctx_->md || EVP_DigestInit_ex(ctx_->md.get(), EVP_sha256(), nullptr) != 1)
        throw tk::Exception("SHA-256 is not available");
}

Sha256::~Sha256() = default;

void Sha256::Update(const void* data, size_t size) {
    if (size) EVP_DigestUpdate(ctx_->md.get(), data, size);
}

std::string Sha256::HexDigest() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned size = 0;
    EVP_DigestFinal_ex(ctx_->md.get(), digest, &size);
    return Hex(digest, size);
}

std::string Sha256Hex(const void* data, size_t size) {
    Sha256 h;
    h.Update(data, size);
    return h.HexDigest();
}

}  // namespace qvxlib
