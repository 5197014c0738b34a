#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <numbers>
#include <thread>

#include "Audio/AllocationCounter.h"
#include "Audio/CAudioEnv.h"
#include "Audio/CAudioVizCollector.h"
#include "Audio/Params/ParamTree.h"
#include "Audio/VST/WrapperInstance.h"
#include "Audio/Viz/CAudioVizDataMeter.h"
#include "Audio/Viz/VizRecordStream.h"
#include "Core/CMemoryReader.h"
#include "Core/CWriteSeqBuffer.h"

namespace qel::test {
namespace {

constexpr int32_t kAny = CAudioVizCollector::kAnySlot;
// The fields of a meter record (records themselves do not copy).
struct SMeter {
    int32_t source, kind, sequence;
    double time;
    int32_t frames;
    double peak, rms;
};
using Meters = std::vector<SMeter>;

struct SVizData {
    double time = -1;
    std::map<std::string, Meters> slots;
};

// A "viz-data" body read back as the interface reads it; everything must be consumed.
SVizData take(CAudioVizCollector& collector) {
    CWriteSeqBuffer buffer;
    EXPECT_EQ(collector.writeVizData(buffer), nullptr);
    const CByteBuffer bytes = buffer.join();
    CMemoryReaderStatic reader(bytes.data(), int32_t(bytes.size()));
    SVizData data;
    EXPECT_EQ(reader.readValue(data.time), nullptr);
    for (int32_t count = -1; count != 0;) {
        CString slot;
        EXPECT_EQ(firstLine(reader.readValue(count)), "");
        if (count > 0) {
            EXPECT_EQ(firstLine(reader.readString(slot)), "");
        }
        for (int32_t i = 0; i < count; ++i) {
            std::unique_ptr<CAudioVizData> record;
            EXPECT_EQ(firstLine(qelVizReadRecord(reader, record)), "");
            auto* meter = dynamic_cast<CAudioVizDataMeter*>(record.get());
            EXPECT_NE(meter, nullptr);
            if (meter)
                data.slots[slot.toUtf8()].push_back({meter->source, meter->kind, meter->sequence, meter->time,
                                                     meter->frames, meter->peak, meter->rms});
        }
    }
    uint64_t position = 0;
    EXPECT_EQ(reader.getPosition(position), nullptr);
    EXPECT_EQ(position, bytes.size());
    return data;
}

// 40 samples per cycle: periods of 800 frames hold whole cycles, and the crest is sampled.
std::vector<double> sine(size_t frames, double amplitude) {
    std::vector<double> x(frames);
    for (size_t i = 0; i < frames; ++i)
        x[i] = amplitude * std::sin(2 * std::numbers::pi * double(i % 40) / 40);
    return x;
}

const std::vector<double> kSine = sine(800, 0.5);
const double kSineRms = 0.5 / std::sqrt(2.0);

TEST(CAudioVizCollectorTest, MetersGivePeakAndRmsPerPeriodInTimeOrder) {
    CAudioVizCollector collector;
    ASSERT_EQ(collector.listen(kAny, "input-meter", 1), nullptr);
    ASSERT_EQ(collector.listen(kAny, "output-meter", 2), nullptr);
    collector.prepare(1, 2, 48000); // periods of 800 frames
    const std::vector<double> quiet(400, -0.25);
    const std::vector<double> loud(400, 0.9);
    double time = 3.0;
    auto feed = [&](int subBlocks, const std::vector<double>& out0) {
        for (int b = 0; b < subBlocks; ++b) {
            collector.meterInput(0, kSine.data(), 400);
            collector.meterOutput(0, out0.data(), 400);
            collector.meterOutput(1, quiet.data(), 400);
            collector.meterOutput(2, loud.data(), 400); // not a prepared channel
            time += 400.0 / 48000;
            collector.endSubBlock(time, 400);
        }
    };
    feed(20, kSine);
    SVizData data = take(collector);
    EXPECT_EQ(data.time, time) << "no environment: the time the audio thread reached";
    const Meters& inputs = data.slots["input-meter"];
    const Meters& outputs = data.slots["output-meter"];
    ASSERT_EQ(inputs.size(), 10u);
    ASSERT_EQ(outputs.size(), 20u);
    for (size_t i = 0; i < outputs.size(); ++i) {
        SCOPED_TRACE(i);
        const SMeter& in = inputs[i / 2];
        EXPECT_EQ(in.source * 10 + in.kind, 0);
        EXPECT_EQ(in.sequence, int32_t(i / 2));
        EXPECT_EQ(in.frames, 800);
        EXPECT_NEAR(in.time, 3.0 + double(i / 2 + 1) / 60, 1e-12);
        EXPECT_EQ(in.peak, 0.5);
        EXPECT_NEAR(in.rms, kSineRms, 1e-12);
        EXPECT_EQ(outputs[i].source * 10 + outputs[i].kind, int32_t(i % 2) * 10 + 1);
        EXPECT_EQ(outputs[i].sequence, in.sequence);
        EXPECT_EQ(outputs[i].time, in.time);
        EXPECT_NEAR(outputs[i].peak, i % 2 ? 0.25 : 0.5, 1e-15);
        EXPECT_NEAR(outputs[i].rms, i % 2 ? 0.25 : kSineRms, 1e-12);
    }
    EXPECT_TRUE(take(collector).slots.empty()) << "taken records are gone";

    // A partly measured period does not survive a reset.
    feed(1, loud);
    collector.reset();
    feed(2, kSine);
    data = take(collector);
    ASSERT_EQ(data.slots["output-meter"].size(), 2u);
    EXPECT_EQ(data.slots["output-meter"][0].peak, 0.5);

    // Sub-blocks are never split: at 44.1 kHz a period of 735 frames ends after two of 512.
    collector.prepare(1, 0, 44100);
    for (int b = 1; b <= 3; ++b) {
        collector.meterInput(0, kSine.data(), 512);
        collector.endSubBlock(b, 512);
    }
    data = take(collector);
    EXPECT_EQ(data.slots.size(), 1u) << "no output channels, no output records";
    ASSERT_EQ(data.slots["input-meter"].size(), 1u);
    EXPECT_EQ(data.slots["input-meter"][0].frames, 1024);
    EXPECT_EQ(data.slots["input-meter"][0].time, 2.0);
}

TEST(CAudioVizCollectorTest, ListenersDecideWhatIsMeasured) {
    CAudioVizCollector collector;
    EXPECT_EQ(firstLine(collector.listen(kAny, "spectrum", 1)),
              "Unknown visualisation slot 'spectrum' (index -1).");
    EXPECT_EQ(firstLine(collector.listen(0, "output-meter", 1)),
              "Unknown visualisation slot 'output-meter' (index 0).");
    EXPECT_EQ(firstLine(collector.listen(2, "", 1)), "Unknown visualisation slot '' (index 2).");
    collector.prepare(1, 1, 48000);
    const std::vector<double> loud(800, 1.0);
    auto period = [&] {
        collector.meterInput(0, kSine.data(), 800);
        collector.meterOutput(0, kSine.data(), 800);
        collector.endSubBlock(1, 800);
    };
    period();
    EXPECT_FALSE(collector.isMetering());
    EXPECT_FALSE(collector.hasListeners());
    EXPECT_TRUE(take(collector).slots.empty());

    // A view arriving within a sub-block gets periods from the next one on.
    collector.meterInput(0, loud.data(), 400);
    ASSERT_EQ(collector.listen(1, "", 1), nullptr);
    ASSERT_EQ(collector.listen(0, "input-meter", 2), nullptr);
    ASSERT_EQ(collector.listen(kAny, "output-meter", 3), nullptr);
    EXPECT_EQ(collector.listen(kAny, "no such slot", 3), nullptr) << "a known id is ignored";
    collector.endSubBlock(1, 400);
    EXPECT_TRUE(collector.isMetering());
    period();
    collector.unlisten(1);
    period();
    SVizData data = take(collector);
    ASSERT_EQ(data.slots["input-meter"].size(), 2u);
    EXPECT_EQ(data.slots["input-meter"][0].peak, 0.5);
    EXPECT_EQ(data.slots["output-meter"].size(), 2u) << "view 3 still listens";

    // Records nobody listens to any more are dropped, and measuring stops after the sub-block.
    period();
    collector.unlisten(3);
    collector.unlisten(3);
    period();
    collector.unlisten(2);
    EXPECT_FALSE(collector.hasListeners());
    period();
    EXPECT_FALSE(collector.isMetering());
    EXPECT_TRUE(take(collector).slots.empty());
}

TEST(CAudioVizCollectorTest, FullRingsDropTheOldestRecords) {
    CAudioVizCollector collector;
    ASSERT_EQ(collector.listen(kAny, "input-meter", 1), nullptr);
    collector.prepare(2, 1, 48000);
    for (int p = 0; p < 70; ++p) {
        collector.meterInput(0, kSine.data(), 800);
        collector.meterInput(1, kSine.data(), 800);
        collector.endSubBlock(p, 800);
    }
    const Meters records = take(collector).slots["input-meter"];
    ASSERT_EQ(records.size(), size_t(2 * CAudioVizCollector::kRecordsPerChannel));
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i].sequence, int32_t(70 - CAudioVizCollector::kRecordsPerChannel + i / 2));
        EXPECT_EQ(records[i].source, int32_t(i % 2));
        EXPECT_EQ(records[i].time, records[i].sequence);
    }
}

TEST(CAudioVizCollectorTest, AConcurrentReaderDelaysPeriodsWithoutLosingFrames) {
    CAudioVizCollector collector;
    ASSERT_EQ(collector.listen(kAny, "input-meter", 1), nullptr);
    collector.prepare(1, 0, 48000);
    std::atomic<bool> done{false};
    Meters records;
    std::thread reader([&] {
        for (bool last = false; !last;) {
            last = done.load();
            const Meters taken = take(collector).slots["input-meter"];
            records.insert(records.end(), taken.begin(), taken.end());
        }
    });
    constexpr int kSubBlocks = 20000;
    for (int b = 1; b <= kSubBlocks; ++b) {
        collector.meterInput(0, kSine.data(), 400);
        collector.endSubBlock(b * 400.0 / 48000, 400);
        if (b % 16 == 0) std::this_thread::yield();
    }
    done = true;
    reader.join();
    ASSERT_FALSE(records.empty());
    for (size_t i = 1; i < records.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_GT(records[i].sequence, records[i - 1].sequence);
        EXPECT_EQ(records[i].peak, 0.5);
        if (records[i].sequence == records[i - 1].sequence + 1) {
            EXPECT_NEAR((records[i].time - records[i - 1].time) * 48000, records[i].frames, 1e-6);
        }
    }
}

using CAudioVizCollectorTreeTest = ParamTreeTest;

TEST_F(CAudioVizCollectorTreeTest, TheAnswerCarriesTheEnvironmentsTime) {
    CObject* plugin = nullptr;
    CObject* made = nullptr;
    ASSERT_EQ(make(root, "core:object", "plugin", {}, plugin), nullptr);
    ASSERT_EQ(make(plugin, "audio:audio-env", "audio-env", {}, made), nullptr);
    auto* env = static_cast<CAudioEnv*>(made);
    EXPECT_NE(firstLine(make(plugin, "audio:viz-collector", "lost", {{"env", "^nothing"}}, made)), "");
    ASSERT_EQ(make(plugin, "audio:viz-collector", "viz-collector", {{"env", "^audio-env"}}, made), nullptr);
    env->currentTime = 12.5;
    static_cast<CAudioVizCollector*>(made)->endSubBlock(99, 512);
    EXPECT_EQ(take(*static_cast<CAudioVizCollector*>(made)).time, 12.5);
}

using CAudioVizCollectorInstanceTest = WrapperInstanceTest;

TEST_F(CAudioVizCollectorInstanceTest, TheCoreMetersWhatTheHostGivesAndGets) {
    CAudioWrapperVST& wrapper = create();
    auto* collector =
        dynamic_cast<CAudioVizCollector*>(wrapper.pluginObject()->root()->findObject("plugin.viz-collector"));
    ASSERT_NE(collector, nullptr);
    ASSERT_EQ(collector->listen(kAny, "input-meter", 1), nullptr);
    ASSERT_EQ(collector->listen(kAny, "output-meter", 2), nullptr);
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 48000);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0);

    // A -6 dBFS sine on every input, in host blocks of 1000 frames (one period each).
    constexpr int kBlock = 1000;
    constexpr int kBlocks = 24;
    const std::vector<double> in = sine(kBlock, 0.5);
    std::vector<std::vector<double>> out(size_t(effect->numOutputs), std::vector<double>(kBlock * kBlocks));
    std::vector<double*> ins(size_t(effect->numInputs), const_cast<double*>(in.data()));
    std::vector<double*> outs(out.size());
    auto run = [&](int from, int to) {
        for (int b = from; b < to; ++b) {
            for (size_t c = 0; c < out.size(); ++c)
                outs[c] = out[c].data() + b * kBlock;
            effect->processDoubleReplacing(effect, ins.data(), outs.data(), kBlock);
        }
    };
    run(0, 12);
    SVizData data = take(*collector);
    host.calls.reserve(host.calls.size() + 4096); // the scripted host's own log
    SAllocationCounter::allocations = 0;
    SAllocationCounter::counting = true;
    run(12, kBlocks);
    SAllocationCounter::counting = false;
    EXPECT_EQ(SAllocationCounter::allocations, 0u) << "metering with views listening";
    for (auto& [slot, records] : take(*collector).slots)
        data.slots[slot].insert(data.slots[slot].end(), records.begin(), records.end());

    const Meters& inputs = data.slots["input-meter"];
    ASSERT_EQ(inputs.size(), size_t(kBlocks * effect->numInputs));
    for (const auto& record : inputs) {
        EXPECT_EQ(record.peak, 0.5);
        EXPECT_NEAR(record.rms, kSineRms, 1e-12);
    }
    // Output records hold exactly what the host received, period by period.
    const Meters& outputs = data.slots["output-meter"];
    ASSERT_EQ(outputs.size(), size_t(kBlocks * effect->numOutputs));
    for (size_t i = 0; i < outputs.size(); ++i) {
        const auto& record = outputs[i];
        SCOPED_TRACE(i);
        ASSERT_EQ(record.source, int32_t(i % out.size()));
        ASSERT_EQ(record.frames, kBlock);
        EXPECT_NEAR(record.time - outputs[i % out.size()].time, record.sequence * kBlock / 48000.0, 1e-9);
        const double* host = out[size_t(record.source)].data() + record.sequence * kBlock;
        double peak = 0;
        double sum = 0;
        for (int f = 0; f < kBlock; ++f) {
            peak = std::max(peak, std::fabs(host[f]));
            sum += host[f] * host[f];
        }
        EXPECT_EQ(record.peak, peak);
        EXPECT_NEAR(record.rms, std::sqrt(sum / kBlock), 1e-12);
        // Once the path is filled the tube stage keeps the level within a few dB.
        if (record.sequence >= 4) {
            EXPECT_NEAR(20 * std::log10(record.peak / 0.5), 0.0, 4.0);
        }
    }
}

} // namespace
} // namespace qel::test
