#include <gtest/gtest.h>

#include <vector>

#include "Audio/Params/CAudioParamInfo.h"
#include "Audio/Params/CollectorTree.h"
#include "Core/CUpdateListener.h"

namespace qel {
namespace {

constexpr int32_t kCommon = CAudioParamStorage::kCommonGroup;

class CAudioParamCollectorTest : public test::CollectorTreeTest {
protected:
    void SetUp() override {
        CollectorTreeTest::SetUp();
        define("bands", {{"element-size", "1"},
                         {"converter", "shared::audio.paramcvt.real"},
                         {"min-values", "-100"},
                         {"max-values", "100"},
                         {"def-values", "1,2,3,4;50"},
                         {"is-storable", "true"}});
        define("name", {{"element-size", "1"},
                        {"data-type", "string"},
                        {"converter", "shared::audio.paramcvt.text"},
                        {"min-values", "0"},
                        {"max-values", "0"},
                        {"def-values", "Init"}});
    }

    static SAudioParamChange change(int32_t group, int32_t first, const std::vector<double>& values) {
        SAudioParamChange c;
        c.group = group;
        c.firstElement = first;
        c.elementCount = int32_t(values.size());
        c.values = values.data();
        return c;
    }
};

// Counts every change the collector reports.
class CChangeCounter : public CUpdateListener {
public:
    ~CChangeCounter() override { detach(); }
    std::vector<std::pair<CString, int32_t>> changes;

protected:
    void onUpdate(const SUpdateRecord* record, const SUpdateEntry&) override {
        auto* update = static_cast<const SAudioParamUpdate*>(record);
        changes.emplace_back(update->param->name(), update->change->group);
    }
};

TEST_F(CAudioParamCollectorTest, RegistriesClaimParametersAndResolveTheirDefinitions) {
    CAudioParam* bands = param("bands");
    ASSERT_NE(bands->info(), nullptr);
    EXPECT_EQ(bands->getValue(kCommon, 2, -1), 3.0) << "default group 0 is the common value";
    EXPECT_EQ(bands->getValue(1, 0, -1), 50.0) << "default group 1 is group 1's own";
    EXPECT_EQ(bands->getValue(5, 3, -1), 4.0) << "a group without values reads the common value";
    EXPECT_EQ(bands->getText(0, 0), "") << "text only for string parameters";
    EXPECT_EQ(param("name")->getText(3, 0), "Init");

    CAudioParam* unknown = param("missing");
    EXPECT_EQ(unknown->info(), nullptr);
    EXPECT_EQ(unknown->getValue(0, 0, 7.5), 7.5) << "unresolved parameters read their fallback";
    EXPECT_EQ(collector->getParam("plugin.other")->info(), nullptr) << "outside every hierarchy";
    EXPECT_EQ(collector->getParam("plugin.modMain.bands"), bands) << "one parameter per name";

    // A nested registry shares parameters with the master; an enumerated one keeps its own.
    CObject* made = nullptr;
    ASSERT_EQ(make(plugin, "audio:param-registry", "nested",
                   {{"hierarchy", "plugin.modMain.sub."}, {"param-collector", "^param-collector"}}, made),
              nullptr);
    auto* nested = static_cast<CAudioParamRegistry*>(made);
    ASSERT_EQ(make(plugin, "audio:param-registry", "enumerated",
                   {{"hierarchy", "plugin.modMain.enum"},
                    {"is-enumerated", "true"},
                    {"param-collector", "^param-collector"}},
                   made),
              nullptr);
    auto* enumerated = static_cast<CAudioParamRegistry*>(made);
    param("sub.x");
    param("enum.y");
    EXPECT_EQ(nested->hierarchy(), "plugin.modMain.sub.");
    EXPECT_EQ(nested->ownedParams().count("x"), 1u);
    EXPECT_EQ(master->ownedParams().count("sub.x"), 1u);
    EXPECT_EQ(enumerated->ownedParams().count("y"), 1u);
    EXPECT_EQ(master->ownedParams().count("enum.y"), 0u);
    EXPECT_EQ(master->ownedParams().count("bands"), 1u);
    EXPECT_EQ(master->ownedParams().count("missing"), 1u);

    EXPECT_EQ(test::firstLine(make(
                  plugin, "audio:param-registry", "broken",
                  {{"def-name-remap", "plugin=audio a=b=c"}, {"param-collector", "^param-collector"}}, made)),
              "Invalid remapping string 'plugin=audio a=b=c' defined.");
    EXPECT_EQ(
        test::firstLine(
            make(plugin, "audio:param-registry", "lost", {{"param-collector", "^nothing"}}, made)),
        "Name attribute 'param-collector' refers to a non-existent object '^nothing' ('plugin.nothing')");
}

TEST_F(CAudioParamCollectorTest, ChangesFillMissingElementsNotifyAndReachTheAudioSideMerged) {
    CAudioParam* bands = param("bands");
    CChangeCounter counter;
    counter.attach(collector, 0);
    CAudioParamChangeList taken;
    collector->takePending(taken);

    // Group 2 has no elements: writing element 3 first copies elements 0..2 from the common value.
    bands->setValue(2, 0, 0, 10.0);
    bands->applyChange(change(2, 3, {40.0}));
    EXPECT_EQ(bands->elementCount(2), 4);
    EXPECT_EQ(bands->getValue(2, 0, 0), 10.0);
    EXPECT_EQ(bands->getValue(2, 1, 0), 2.0);
    EXPECT_EQ(bands->getValue(2, 2, 0), 3.0);
    EXPECT_EQ(bands->getValue(2, 3, 0), 40.0);
    EXPECT_EQ(counter.changes.size(), 3u) << "set, fill, change";

    // Everything since the last block is one entry for group 2, holding the latest values.
    bands->setValue(2, 0, 0, 11.0);
    bands->setValue(kCommon, 0, 0, 9.0);
    bands->setValue(kCommon, 1, 0, 8.0);
    collector->takePending(taken);
    ASSERT_EQ(taken.size(), 3u);
    EXPECT_EQ(taken[0].group, 2);
    EXPECT_EQ(taken[0].firstElement, 0);
    EXPECT_EQ(taken[0].values, (std::vector<double>{11.0, 2.0, 3.0, 40.0}));
    EXPECT_EQ(taken[1].group, kCommon) << "common changes are never merged";
    EXPECT_EQ(taken[2].group, kCommon);

    // Switching merging off keeps every change.
    env->mergeChanges = false;
    bands->setValue(2, 0, 0, 12.0);
    bands->setValue(2, 0, 0, 13.0);
    CAudioParamChangeList unmerged;
    collector->takePending(unmerged);
    EXPECT_EQ(unmerged.size(), 2u);

    // The audio side sees values only once the taken list is applied, and subscriptions hear of it.
    bool anyChanged = false, groupChanged = false, elementChanged = false;
    uint32_t anyMask = 0, groupMask = 0, elementMask = 0;
    bands->subscribe({-1, -1, &anyChanged, &anyMask});
    bands->subscribe({3, -1, &groupChanged, &groupMask});
    bands->subscribe({-1, 1, &elementChanged, &elementMask});
    EXPECT_EQ(bands->audioValues().getValue(2, 0, 0), 1.0);
    taken.applyToAudio();
    EXPECT_EQ(bands->audioValues().getValue(2, 0, 0), 11.0);
    EXPECT_EQ(bands->audioValues().getValue(kCommon, 1, 0), 8.0);
    EXPECT_TRUE(anyChanged && groupChanged && elementChanged);
    EXPECT_EQ(anyMask, ~0u) << "the common value concerns every group";
    EXPECT_EQ(elementMask, ~0u);

    anyChanged = groupChanged = elementChanged = false;
    anyMask = groupMask = elementMask = 0;
    env->mergeChanges = true;
    bands->setValue(3, 0, 0, 5.0);
    collector->takePending(taken);
    taken.applyToAudio();
    EXPECT_EQ(anyMask, 1u << 3);
    EXPECT_EQ(groupMask, 1u << 3);
    EXPECT_FALSE(elementChanged) << "element 0 changed, not element 1";
    bands->unsubscribe(&anyChanged);
    bands->unsubscribe(&groupChanged);
    bands->unsubscribe(&elementChanged);

    // Reset restores the definition's values, listeners hear it.
    bands->reset(-1);
    EXPECT_EQ(bands->getValue(2, 0, 0), 1.0);
    EXPECT_EQ(bands->getValue(1, 0, 0), 50.0);
    EXPECT_EQ(bands->getValue(kCommon, 0, 0), 1.0);
}

// Records the order of deferred deliveries.
class CDeferredProbe : public CAudioParamCollector::CDeferredListener {
public:
    void onDeferredChange(int32_t code, double value) override { delivered.emplace_back(code, value); }
    std::vector<std::pair<int32_t, double>> delivered;
};

TEST_F(CAudioParamCollectorTest, DeferredNotificationsWaitForTheOutermostRelease) {
    CAudioParam* bands = param("bands");
    CDeferredProbe probe;
    {
        CAudioParam::CAccess outer(*bands, nullptr);
        collector->queueDeferred(&probe, 1, 0.5);
        {
            CAudioParam::CAccess inner(*bands, nullptr);
            collector->queueDeferred(&probe, 2, 0.25);
        }
        EXPECT_TRUE(probe.delivered.empty()) << "an access is still open";
    }
    EXPECT_EQ(probe.delivered, (std::vector<std::pair<int32_t, double>>{{1, 0.5}, {2, 0.25}}));

    // A bulk operation holds everything back until it ends, single accesses inside it included.
    probe.delivered.clear();
    collector->acquire(true);
    bands->setValue(0, 0, 0, 3.0);
    collector->queueDeferred(&probe, 3, 1.0);
    bands->setValue(0, 0, 0, 4.0);
    EXPECT_TRUE(probe.delivered.empty());
    collector->release(true);
    EXPECT_EQ(probe.delivered.size(), 1u);

    // A listener that goes away takes its queued notifications with it.
    probe.delivered.clear();
    collector->acquire(true);
    collector->queueDeferred(&probe, 4, 0.0);
    collector->forgetDeferred(&probe);
    collector->release(true);
    EXPECT_TRUE(probe.delivered.empty());
}

} // namespace
} // namespace qel
