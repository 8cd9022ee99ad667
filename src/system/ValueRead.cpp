#include "system/ValueRead.h"

namespace {

constexpr RegRoot kHkcuFirst[] = {HKCU, HKLM};
constexpr RegRoot kHklmOnly[] = {HKLM};

} // namespace

std::span<const RegRoot> RootsOf(RegSearch search) {
    if (search == HklmOnly)
        return kHklmOnly;
    return kHkcuFirst;
}

std::span<const RegRoot> ValueRead::Roots() const {
    return RootsOf(search);
}

bool ValueRead::FallsThrough(size_t size) const {
    return type == Dword && size > kDwordReadBytes;
}

DWORD DwordOf(DWORD type, DWORD number, DWORD size, DWORD missing) {
    return type == REG_DWORD && size == kDwordReadBytes ? number : missing;
}

bool HoldsText(DWORD type, DWORD size) {
    return type == REG_SZ && size > 0;
}

std::string StringOf(DWORD type, const char* bytes, DWORD size) {
    if (!HoldsText(type, size))
        return {};
    return std::string(bytes, size - 1);
}
