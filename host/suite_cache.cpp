#include "host/suite_cache.h"

#include <string_view>

namespace {

// Slot of a pair in the release order; resolved once at compile time for the suites in use.
constexpr std::size_t slot_of(const char* name, A_long version) {
    for (std::size_t i = 0; i < kSuitePairCount; ++i) {
        const SuitePair& pair = kSuiteReleaseOrder[i];
        if (pair.version == version && std::string_view(pair.name) == name) return i;
    }
    return kSuitePairCount;
}

}  // namespace

void raise_missing_suite() {
    throw SuiteMissing{PF_Err_BAD_CALLBACK_PARAM};
}

SuiteCache::SuiteCache(SPBasicSuite* basic) : basic_(basic) {
    if (basic_ == nullptr) raise_missing_suite();
}

SuiteCache::~SuiteCache() {
    for (std::size_t i = 0; i < kSuitePairCount; ++i) {
        if (slots_[i] != nullptr) {
            basic_->ReleaseSuite(kSuiteReleaseOrder[i].name, kSuiteReleaseOrder[i].version);
        }
    }
}

const void* SuiteCache::acquire(std::size_t slot) {
    if (slots_[slot] == nullptr) {
        const void* suite = nullptr;
        const SuitePair& pair = kSuiteReleaseOrder[slot];
        const A_long err = basic_->AcquireSuite(pair.name, pair.version, &suite);
        if (err != PF_Err_NONE || suite == nullptr) raise_missing_suite();
        slots_[slot] = suite;
    }
    return slots_[slot];
}

#define ZX_SUITE_GETTER(method, type, name, version)                           \
    const type* SuiteCache::method() {                                         \
        static constexpr std::size_t kSlot = slot_of(name, version);           \
        static_assert(kSlot < kSuitePairCount, "suite missing from the list"); \
        return static_cast<const type*>(acquire(kSlot));                       \
    }

ZX_SUITE_GETTER(ansi, PF_ANSICallbacksSuite1, kPFANSISuite, kPFANSISuiteVersion1)
ZX_SUITE_GETTER(handles, PF_HandleSuite1, kPFHandleSuite, kPFHandleSuiteVersion)
ZX_SUITE_GETTER(utility, AEGP_UtilitySuite3, kAEGPUtilitySuite, kAEGPUtilitySuiteVersion7)
ZX_SUITE_GETTER(pf_interface, AEGP_PFInterfaceSuite1, kAEGPPFInterfaceSuite,
                kAEGPPFInterfaceSuiteVersion1)
ZX_SUITE_GETTER(streams, AEGP_StreamSuite2, kAEGPStreamSuite, kAEGPStreamSuiteVersion7)
ZX_SUITE_GETTER(dynamic_streams, AEGP_DynamicStreamSuite2, kAEGPDynamicStreamSuite,
                kAEGPDynamicStreamSuiteVersion2)
ZX_SUITE_GETTER(effects, AEGP_EffectSuite2, kAEGPEffectSuite, kAEGPEffectSuiteVersion2)

#undef ZX_SUITE_GETTER
