// A small VST 2.4 effect for the host tests: gain and a latency-reporting delay, plus vendor calls
// that ask the host questions and hand the answers back. QEL_FAKE_VARIANT builds broken variants.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Audio/VST/AEffect.h"

#define QEL_FAKE_NORMAL 0
#define QEL_FAKE_LEGACY_ENTRY 1
#define QEL_FAKE_NULL_EFFECT 2
#define QEL_FAKE_BAD_MAGIC 3
#define QEL_FAKE_NO_ENTRY 4

#if QEL_FAKE_VARIANT != QEL_FAKE_NO_ENTRY

namespace qel {
namespace {

constexpr int kMaxDelay = 100;
constexpr intptr_t kTextToValueAnswer = 0xBEEF;

enum FakeQuery : int32_t {
    kQueryEvents = 1,
    kQueryTime = 2,
    kQueryHostVendor = 3,
    kQueryHostProduct = 4,
    kQueryEntryVersion = 5,
    kQueryProcessLevel = 6,
    kQueryAutomate = 7,
    kTextToValue = 27,
};

int g_liveInstances = 0;

class CFakeEffect {
public:
    explicit CFakeEffect(audioMasterCallback master) : m_master(master) {
        m_entryVersion = master(nullptr, audioMasterVersion, 0, 0, nullptr, 0);
        m_effect.magic =
            QEL_FAKE_VARIANT == QEL_FAKE_BAD_MAGIC ? qelVstFourCC('N', 'o', 'p', 'e') : kEffectMagic;
        m_effect.dispatcher = &dispatch;
        m_effect.setParameter = &setParameterProc;
        m_effect.getParameter = &getParameterProc;
        m_effect.processReplacing = &process<float>;
        m_effect.processDoubleReplacing = &process<double>;
        m_effect.numPrograms = 2;
        m_effect.numParams = 2;
        m_effect.numInputs = 2;
        m_effect.numOutputs = 2;
        m_effect.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing | effFlagsProgramChunks;
        m_effect.object = this;
        m_effect.uniqueID = qelVstFourCC('F', 'a', 'k', 'e');
        m_effect.version = 1;
        ++g_liveInstances;
    }
    ~CFakeEffect() { --g_liveInstances; }

    AEffect* effect() { return &m_effect; }

private:
    static CFakeEffect* self(AEffect* effect) { return static_cast<CFakeEffect*>(effect->object); }

    int delaySamples() const { return int(std::lround(m_params[1] * kMaxDelay)); }
    double gain() const { return 2.0 * m_params[0]; }

    static void setParameterProc(AEffect* effect, int32_t index, float value) {
        CFakeEffect* fake = self(effect);
        if (index < 0 || index > 1) return;
        int before = fake->delaySamples();
        fake->m_params[index] = value;
        // The new latency is reported at the next resume, as the host is told here.
        if (fake->delaySamples() != before) fake->m_master(effect, audioMasterIOChanged, 0, 0, nullptr, 0);
    }

    static float getParameterProc(AEffect* effect, int32_t index) {
        return index >= 0 && index <= 1 ? self(effect)->m_params[index] : 0.f;
    }

    template <typename T>
    static void process(AEffect* effect, T** inputs, T** outputs, int32_t frames) {
        CFakeEffect* fake = self(effect);
        const int delay = fake->delaySamples();
        for (int c = 0; c < 2; ++c) {
            std::vector<double>& line = fake->m_lines[c];
            for (int32_t i = 0; i < frames; ++i) {
                line[size_t(fake->m_writes[c] % line.size())] = double(inputs[c][i]);
                size_t read = (fake->m_writes[c] + line.size() - size_t(delay)) % line.size();
                outputs[c][i] = T(fake->gain() * line[read]);
                ++fake->m_writes[c];
            }
        }
    }

    // Parameter and program strings get the documented 8 bytes, names and vendor 64.
    static intptr_t copyText(void* ptr, const char* text, size_t size = 8) {
        std::snprintf(static_cast<char*>(ptr), size, "%s", text);
        return 1;
    }

    intptr_t textToValue(int32_t index, char* text) {
        char* end = nullptr;
        double parsed = std::strtod(text, &end);
        if (end == text || *end != 0) return 0;
        double normalised = index == 0 ? parsed / 2 : parsed / kMaxDelay;
        if (normalised < 0 || normalised > 1) return 0;
        char answer[32];
        std::snprintf(answer, sizeof answer, "%f", normalised);
        answer[7] = 0;
        std::strcpy(text, answer);
        return kTextToValueAnswer;
    }

    intptr_t vendorSpecific(int32_t index, intptr_t value, void* ptr, float opt) {
        switch (index) {
        case kQueryEvents:
            return m_midiEvents;
        case kQueryTime: {
            auto* time =
                reinterpret_cast<VstTimeInfo*>(m_master(&m_effect, audioMasterGetTime, 0, value, nullptr, 0));
            if (!time) return 0;
            std::memcpy(ptr, time, sizeof(VstTimeInfo));
            return 1;
        }
        case kQueryHostVendor:
            return m_master(&m_effect, audioMasterGetVendorString, 0, 0, ptr, 0);
        case kQueryHostProduct:
            return m_master(&m_effect, audioMasterGetProductString, 0, 0, ptr, 0);
        case kQueryEntryVersion:
            return m_entryVersion;
        case kQueryProcessLevel:
            return m_master(&m_effect, audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0);
        case kQueryAutomate:
            m_master(&m_effect, audioMasterBeginEdit, int32_t(value), 0, nullptr, 0);
            m_master(&m_effect, audioMasterAutomate, int32_t(value), 0, nullptr, opt);
            m_master(&m_effect, audioMasterEndEdit, int32_t(value), 0, nullptr, 0);
            return m_master(&m_effect, audioMasterSizeWindow, 640, 480, nullptr, 0);
        case kTextToValue:
            return value >= 0 && value <= 1 ? textToValue(int32_t(value), static_cast<char*>(ptr)) : 0;
        default:
            return 0;
        }
    }

    static intptr_t dispatch(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                             float opt) {
        CFakeEffect* fake = self(effect);
        switch (opcode) {
        case effClose:
            delete fake;
            return 1;
        case effSetProgram:
            fake->m_program = int32_t(value);
            fake->m_params[0] = value == 1 ? 0.25f : 0.5f;
            return 1;
        case effGetProgram:
            return fake->m_program;
        case effGetProgramNameIndexed:
            return index >= 0 && index <= 1 ? copyText(ptr, index == 0 ? "Unity" : "Half") : 0;
        case effGetProgramName:
            return copyText(ptr, fake->m_program == 0 ? "Unity" : "Half");
        case effGetParamName:
            return copyText(ptr, index == 0 ? "Gain" : "Delay");
        case effGetParamLabel:
            return copyText(ptr, index == 0 ? "x" : "smp");
        case effGetParamDisplay:
            if (index == 0)
                std::snprintf(static_cast<char*>(ptr), 8, "%.2f", fake->gain());
            else
                std::snprintf(static_cast<char*>(ptr), 8, "%d", fake->delaySamples());
            return 1;
        case effMainsChanged:
            if (value) {
                fake->m_effect.initialDelay = fake->delaySamples();
                for (auto& line : fake->m_lines)
                    line.assign(kMaxDelay + 1, 0.0);
            }
            return 0;
        case effGetChunk:
            *static_cast<void**>(ptr) = fake->m_params;
            return sizeof fake->m_params;
        case effSetChunk:
            if (value != sizeof fake->m_params) return 0;
            std::memcpy(fake->m_params, ptr, sizeof fake->m_params);
            return 1;
        case effProcessEvents: {
            // Reads every pointer, so a host that sizes the list wrongly is caught.
            const auto* list = static_cast<const VstEvents*>(ptr);
            VstEvent* const* slots = list->events;
            for (int32_t i = 0; i < list->numEvents; ++i)
                if (slots[i]->type == kVstMidiType && slots[i]->byteSize == sizeof(VstMidiEvent))
                    ++fake->m_midiEvents;
            return 1;
        }
        case effGetPlugCategory:
            return kPlugCategEffect;
        case effGetEffectName:
            return copyText(ptr, "Fake", 64);
        case effGetVendorString:
            return copyText(ptr, "Qel Test", 64);
        case effCanDo:
            return std::strcmp(static_cast<const char*>(ptr), "receiveVstMidiEvent") == 0 ? 1 : -1;
        case effVendorSpecific:
            return fake->vendorSpecific(index, value, ptr, opt);
        case effSetProcessPrecision:
            return 1;
        default:
            return 0;
        }
    }

    AEffect m_effect{};
    audioMasterCallback m_master;
    intptr_t m_entryVersion = 0;
    float m_params[2] = {0.5f, 0.f};
    int32_t m_program = 0;
    intptr_t m_midiEvents = 0;
    std::vector<double> m_lines[2] = {std::vector<double>(kMaxDelay + 1), std::vector<double>(kMaxDelay + 1)};
    size_t m_writes[2] = {0, 0};
};

AEffect* createEffect(audioMasterCallback master) {
    if (QEL_FAKE_VARIANT == QEL_FAKE_NULL_EFFECT) return nullptr;
    if (QEL_FAKE_VARIANT == QEL_FAKE_BAD_MAGIC) {
        // A host never closes a record it rejects; a static one does not leak.
        static CFakeEffect rejected(master);
        return rejected.effect();
    }
    return (new CFakeEffect(master))->effect();
}

} // namespace
} // namespace qel

// Lets a test see whether the host's effClose released the instance.
extern "C" __attribute__((visibility("default"))) int qelFakeLiveInstances() {
    return qel::g_liveInstances;
}

#if QEL_FAKE_VARIANT == QEL_FAKE_LEGACY_ENTRY
// Old plug-ins export the entry under the name "main", which C++ cannot declare directly.
extern "C" __attribute__((visibility("default"))) AEffect*
qelFakeLegacyMain(audioMasterCallback master) asm("main");
AEffect* qelFakeLegacyMain(audioMasterCallback master) {
    return qel::createEffect(master);
}
#else
extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback master) {
    return qel::createEffect(master);
}
#endif

#else

extern "C" __attribute__((visibility("default"))) int qelFakeLiveInstances() {
    return 0;
}

#endif
