#include <gtest/gtest.h>

#include <cmath>

#include "Audio/Viz/CAudioVizDataMeter.h"
#include "Audio/Viz/CAudioVizDataRGB.h"
#include "Audio/Viz/VizRecordStream.h"
#include "Core/CWriteSeqBuffer.h"
#include "Other/InterfaceInstance.h"
#include "Support/ErrorText.h"
#include "UI/CVizExchange.h"

namespace qel::test {
namespace {

// What a meter view is handed.
struct SMeterView : CVizExchange::CView {
    struct SReading {
        CString slot;
        int32_t source = 0, kind = 0;
        double time = 0, peak = 0, rms = 0;
    };
    std::vector<SReading> records;
    int32_t inactive = 0;
    void onVizRecord(const CString& slot, const CAudioVizData& record) override {
        if (record.type() != CAudioVizData::Meter) return;
        const auto& meter = static_cast<const CAudioVizDataMeter&>(record);
        records.push_back({slot, meter.source, meter.kind, meter.time, meter.peak, meter.rms});
    }
    void onVizInactive() override { ++inactive; }
};

// A "viz-data" body: the time, then groups of (slot, records), then the end mark.
struct SVizMessage {
    CWriteSeqBuffer bytes;
    explicit SVizMessage(double time) { EXPECT_EQ(bytes.writeValue(time), nullptr); }
    SVizMessage& group(const CString& slot, const std::vector<const CAudioVizData*>& records) {
        EXPECT_EQ(bytes.writeValue(int32_t(records.size())), nullptr);
        EXPECT_EQ(bytes.writeString(slot), nullptr);
        for (const CAudioVizData* record : records)
            EXPECT_EQ(qelVizWriteRecord(bytes, *record), nullptr);
        return *this;
    }
    CByteBuffer end(bool terminate = true) {
        if (terminate) {
            EXPECT_EQ(bytes.writeValue(int32_t(0)), nullptr);
        }
        return bytes.join();
    }
};

void setMeter(CAudioVizDataMeter& record, int32_t channel, double peak) {
    record.source = channel;
    record.peak = peak;
    record.rms = peak / std::sqrt(2.0);
}

using CVizExchangeTest = InterfaceInstanceTest;

TEST_F(CVizExchangeTest, RecordsWaitForALaterTimeAndBrokenMessagesChangeNothing) {
    SEditor& editor = openEditor();
    CVizExchange* exchange = nullptr;
    ASSERT_EQ(editor.ui->findObjectChecked("ui.viz-exchange", exchange), nullptr);
    EXPECT_EQ(editor.client->vizProcessor(), exchange);
    SMeterView view, other;
    ASSERT_EQ(exchange->addView("output-meter", &view), nullptr);
    ASSERT_EQ(exchange->addView("input-meter", &other), nullptr);

    CAudioVizDataMeter first, second;
    setMeter(first, 0, 0.5);
    setMeter(second, 1, 0.25);
    CAudioVizDataRGB colour;
    // An undefined type between two records is skipped by its size.
    CWriteSeqBuffer undefined;
    ASSERT_EQ(undefined.writeValue(int32_t(2)), nullptr);
    ASSERT_EQ(undefined.writeValue(int32_t(12)), nullptr);
    ASSERT_EQ(undefined.write("twelve bytes", 12), nullptr);
    const CByteBuffer skipped = undefined.join();

    SVizMessage message(1.0);
    CByteBuffer bytes = message.group("output-meter", {&first}).end(false);
    // Hand-made group: a meter, the undefined record, a colour record.
    CWriteSeqBuffer tail;
    ASSERT_EQ(tail.writeValue(int32_t(3)), nullptr);
    ASSERT_EQ(tail.writeString("output-meter"), nullptr);
    ASSERT_EQ(qelVizWriteRecord(tail, second), nullptr);
    ASSERT_EQ(tail.write(skipped.data(), uint32_t(skipped.size())), nullptr);
    ASSERT_EQ(qelVizWriteRecord(tail, colour), nullptr);
    ASSERT_EQ(tail.writeValue(int32_t(0)), nullptr);
    const CByteBuffer rest = tail.join();
    bytes.insert(bytes.end(), rest.begin(), rest.end());

    CMemoryReader reader(bytes.data(), int32_t(bytes.size()));
    ASSERT_EQ(exchange->onVizData(reader), nullptr);
    EXPECT_TRUE(view.records.empty()) << "held until a later message reaches their time";
    EXPECT_EQ(exchange->queuedEntries(), 2u);

    // A message of time only releases what is due and changes nothing else.
    CByteBuffer timeOnly = SVizMessage(1.0).end();
    CMemoryReader timeReader(timeOnly.data(), int32_t(timeOnly.size()));
    ASSERT_EQ(exchange->onVizData(timeReader), nullptr);
    ASSERT_EQ(view.records.size(), 2u);
    EXPECT_EQ(view.records[0].peak, 0.5);
    EXPECT_EQ(view.records[1].source, 1);
    EXPECT_TRUE(other.records.empty());
    EXPECT_EQ(exchange->queuedEntries(), 0u);

    // A count of 3 with two complete records fails and leaves the queue as it was.
    SVizMessage broken(2.0);
    CByteBuffer brokenBytes = broken.group("output-meter", {&first, &second}).end(false);
    const size_t countAt = sizeof(double);
    brokenBytes[countAt] = 3;
    CMemoryReader brokenReader(brokenBytes.data(), int32_t(brokenBytes.size()));
    EXPECT_NE(test::firstLine(exchange->onVizData(brokenReader)), "");
    EXPECT_EQ(exchange->queuedEntries(), 0u);
    EXPECT_EQ(exchange->lastAudioTime(), 1.0);
}

TEST_F(CVizExchangeTest, SilentViewsAreToldOnceThatTheirDataStopped) {
    SEditor& editor = openEditor();
    CVizExchange* exchange = nullptr;
    ASSERT_EQ(editor.ui->findObjectChecked("ui.viz-exchange", exchange), nullptr);
    SMeterView view;
    ASSERT_EQ(exchange->addView("output-meter", &view), nullptr);
    exchange->onStartViz();
    // 30 frames per second and one second of patience.
    for (int32_t tick = 0; tick < 29; ++tick)
        ASSERT_EQ(exchange->onTick(), nullptr);
    EXPECT_EQ(view.inactive, 0);
    ASSERT_EQ(exchange->onTick(), nullptr);
    EXPECT_EQ(view.inactive, 1);
    for (int32_t tick = 0; tick < 60; ++tick)
        ASSERT_EQ(exchange->onTick(), nullptr);
    EXPECT_EQ(view.inactive, 1);
    exchange->onStopViz();
    EXPECT_FALSE(exchange->isActive());
}

TEST_F(CVizExchangeTest, AnEditorShowsTheOutputLevelOfAHalfScaleSine) {
    SEditor& editor = openEditor();
    CVizExchange* exchange = nullptr;
    ASSERT_EQ(editor.ui->findObjectChecked("ui.viz-exchange", exchange), nullptr);
    SMeterView output, input;
    ASSERT_EQ(exchange->addView("output-meter", &output), nullptr);
    ASSERT_EQ(exchange->addView("input-meter", &input), nullptr);
    // Fill the signal path first, then watch one second of audio frame by frame.
    for (int32_t block = 0; block < 40; ++block)
        process(0.5);
    for (int32_t frame = 0; frame < 30; ++frame) {
        for (int32_t block = 0; block < 3; ++block)
            process(0.5);
        ASSERT_EQ(exchange->onTick(), nullptr);
        editor.deliver();
    }
    ASSERT_GT(output.records.size(), 40u);
    ASSERT_GT(input.records.size(), 40u);
    double lastTime = 0;
    for (const auto& record : output.records) {
        EXPECT_EQ(record.slot, "output-meter");
        EXPECT_EQ(record.kind, 1);
        EXPECT_GE(record.time, lastTime) << "in time order";
        lastTime = record.time;
        if (record.time < 0.5) continue;
        const double peakDb = 20.0 * std::log10(record.peak);
        EXPECT_NEAR(peakDb, -6.0, 4.0) << "the tube stage's gain stays within a few dB";
        EXPECT_GT(record.rms, 0.0);
        EXPECT_LE(record.rms, record.peak);
    }
    for (const auto& record : input.records)
        EXPECT_NEAR(record.peak, 0.5, 1e-3);
    EXPECT_EQ(output.inactive, 0);
}

} // namespace
} // namespace qel::test
