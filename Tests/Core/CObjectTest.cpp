#include "Core/CObject.h"

#include <gtest/gtest.h>

#include "Core/CAttrDoubler.h"
#include "Support/ErrorText.h"
#include "Support/LogCapture.h"
#include "Support/ObjectTree.h"

using namespace qel;

using CObjectTest = test::ObjectTreeTest;

TEST_F(CObjectTest, SiblingNamesStayUniqueAndFullNamesFollowTheTree) {
    CObject* audio = add(root, "core:object", "audio");
    CObject* p0 = add(audio, "core:object", "p");
    CObject* p1 = add(audio, "core:object", "p");
    CObject* p2 = add(audio, "core:object", "p");
    CObject* p5 = add(audio, "core:object", "p#5");
    CObject* p6 = add(audio, "core:object", "p#5");
    EXPECT_EQ(p0->name(), "p");
    EXPECT_EQ(p1->name(), "p#1");
    EXPECT_EQ(p2->name(), "p#2");
    EXPECT_EQ(p5->name(), "p#5");
    EXPECT_EQ(p6->name(), "p#6");
    EXPECT_EQ(p2->fullName(), "audio.p#2");
    EXPECT_EQ(root->findObject("audio.p#1"), p1);
    EXPECT_EQ(root->fullName(), "");
    EXPECT_LT(audio->serial(), p0->serial());
    EXPECT_EQ(p0->root(), root);

    audio->destroyChild(p1);
    EXPECT_EQ(root->findObject("audio.p#1"), nullptr);
    EXPECT_EQ(audio->children().size(), 4u);
    EXPECT_EQ(audio->children()[1], p2) << "order of the others kept";
}

TEST_F(CObjectTest, PathsWithPrefixesParentsAndShortcuts) {
    CObject* ui = add(root, "core:object", "ui");
    CObject* style = add(ui, "core:object", "style");
    CObject* window = add(ui, "core:object", "window");
    CObject* hp1 = add(ui, "core:object", "hp1");
    CObject* params = add(window, "core:object", "run-event-params");
    CObject* sharedAudio = add(CObject::sharedObject(), "core:object", "audio");

    EXPECT_EQ(window->findObject("^^hp1"), nullptr) << "grandparent of window is the root";
    EXPECT_EQ(params->findObject("^^hp1"), hp1);
    EXPECT_EQ(window->findObject(".run-event-params"), params);
    EXPECT_EQ(window->findObject("^"), ui);
    EXPECT_EQ(window->findObject("."), window);
    EXPECT_EQ(root->findObject("^"), nullptr) << "above a root";
    EXPECT_EQ(params->findObject("/ui.style"), style);
    EXPECT_EQ(params->findObject("ui.style"), style) << "plain paths start at the root";
    EXPECT_EQ(params->findObject("shared::audio"), sharedAudio);
    EXPECT_EQ(params->findObject(""), nullptr);
    EXPECT_EQ(params->findObject("ui.nothing"), nullptr);
    EXPECT_EQ(params->findObject("ui..style"), style) << "empty segments are skipped";

    // A chain of shortcuts: s0 -> s1 -> ... -> target.
    CObject* links = add(root, "core:shortcut", "links");
    for (int i = 0; i < 11; ++i) {
        CObject* link = add(links, "core:object", CString::format("s%d", i).toUtf8().c_str());
        EXPECT_TRUE(link->isShortcut());
        ASSERT_EQ(
            link->setAttr("target", i == 10 ? CString("/ui") : CString::format("/links.s%d", i + 1), true),
            nullptr);
    }
    EXPECT_EQ(root->findObject("links.s1.style"), style) << "ten redirections resolve";
    EXPECT_EQ(root->findObject("links.s0.style"), nullptr) << "the eleventh yields nothing";
}

TEST_F(CObjectTest, TypedLookupsNameWhatTheyCouldResolve) {
    CObject* audio = add(root, "core:object", "audio");
    add(audio, "core:attr-doubler", "doubler");
    CObject* found = nullptr;
    EXPECT_EQ(test::firstLine(root->findObjectChecked("audio.missing.x", nullptr, found)),
              "Unable to find object 'audio.missing.x' ('audio.missing.x')");
    CObject* doublerObject = audio->findObject(".doubler");
    EXPECT_EQ(test::firstLine(doublerObject->findObjectChecked("^^audio.none", nullptr, found)),
              "Unable to find object '^^audio.none' ('audio.none')")
        << "relative paths are written from the root too";
    EXPECT_EQ(test::firstLine(doublerObject->findObjectChecked("^gone", nullptr, found)),
              "Unable to find object '^gone' ('audio.gone')");
    CAttrDoubler* doubler = nullptr;
    EXPECT_EQ(root->findObjectChecked("audio.doubler", doubler), nullptr);
    ASSERT_NE(doubler, nullptr);
    CAttrDoubler* wrong = nullptr;
    EXPECT_EQ(test::firstLine(root->findObjectChecked("audio", wrong)),
              "Incompatible type of object 'audio' ('audio')");
    EXPECT_EQ(test::firstLine(audio->findObjectByAttr("target", wrong)),
              "Object name attribute 'target' cannot be empty.");
    ASSERT_EQ(audio->setAttr("target", "^audio.nope", true), nullptr);
    EXPECT_EQ(test::firstLine(audio->findObjectByAttr("target", wrong)),
              "Name attribute 'target' refers to a non-existent object '^audio.nope' ('audio.nope')");
    ASSERT_EQ(audio->setAttr("target", ".", true), nullptr);
    EXPECT_EQ(test::firstLine(audio->findObjectByAttr("target", wrong)),
              "Name attribute 'target' refers to object '.' ('audio') of incompatible type.");
}

TEST_F(CObjectTest, AttributeValuesAreClassified) {
    CObject* o = add(root, "core:object", "o");
    struct Case {
        const char* text;
        CAttrValue::Kind kind;
    } cases[] = {{"-5", CAttrValue::Kind::Int},         {"05", CAttrValue::Kind::Text},
                 {"+5", CAttrValue::Kind::Text},        {"true", CAttrValue::Kind::Bool},
                 {"", CAttrValue::Kind::Empty},         {"2.5", CAttrValue::Kind::Text},
                 {"2147483648", CAttrValue::Kind::Text}};
    for (const Case& c : cases) {
        ASSERT_EQ(o->setAttr("v", c.text, false), nullptr);
        EXPECT_EQ(o->findAttr("v")->value.kind(), c.kind) << c.text;
        EXPECT_EQ(text(o, "v"), c.text);
    }
    ASSERT_EQ(o->setAttrDouble("d", 0.12345), nullptr);
    EXPECT_EQ(text(o, "d"), "0.1235");
    ASSERT_EQ(o->setAttrInt("i", -7), nullptr);
    EXPECT_EQ(text(o, "i"), "-7");
    ASSERT_EQ(o->setAttr("b", "1", true), nullptr);
    EXPECT_TRUE(o->getAttrBool("b"));
    EXPECT_EQ(o->getAttrInt("i"), -7);
    ASSERT_EQ(o->setAttr("v", "abc", true), nullptr);
    EXPECT_DOUBLE_EQ(o->getAttrDouble("v", 1.5), 1.5) << "not a number";
    EXPECT_EQ(text(o, "missing"), "");
}

TEST_F(CObjectTest, ReferencesExpandWithInheritanceDefaultsAndNesting) {
    CObject* window = add(root, "core:object", "window");
    CObject* panel = add(window, "core:object", "panel");
    CObject* knob = add(panel, "core:object", "knob");
    ASSERT_EQ(knob->setAttr("title", "{/^ title?Untitled}", true), nullptr);
    EXPECT_EQ(text(knob, "title"), "Untitled");
    ASSERT_EQ(knob->setAttr("flag", "{?false}", true), nullptr);
    EXPECT_EQ(text(knob, "flag"), "false");

    ASSERT_EQ(window->setAttr("title", "Main", true), nullptr);
    ASSERT_EQ(knob->setAttr("title", "{/^ title?Untitled}", true), nullptr);
    EXPECT_EQ(text(knob, "title"), "Main") << "inherited from the panel's ancestors";
    ASSERT_EQ(knob->setAttr("owner", "{@/^ title?none}", true), nullptr);
    EXPECT_EQ(text(knob, "owner"), "none") << "@ looks at the named object only";
    ASSERT_EQ(knob->setAttr("heading", "[{title}]", true), nullptr);
    EXPECT_EQ(text(knob, "heading"), "[Main]");

    ASSERT_EQ(panel->setAttr("window-full-name", "window", true), nullptr);
    ASSERT_EQ(window->setAttr("owner-label", "Emberline", true), nullptr);
    ASSERT_EQ(knob->setAttr("label", "{/{window-full-name} owner-label}", true), nullptr);
    EXPECT_EQ(text(knob, "label"), "Emberline") << "inner reference first";

    ASSERT_EQ(panel->setAttr("indirect", "{title}", true), nullptr);
    ASSERT_EQ(knob->setAttr("twice", "{/^ indirect}", true), nullptr);
    EXPECT_EQ(text(knob, "twice"), "Main");
    ASSERT_EQ(knob->setAttr("odd", "a}b{c", true), nullptr);
    EXPECT_EQ(text(knob, "odd"), "a}b{c") << "no brace pair, stored as is";
}

TEST_F(CObjectTest, BoundReferencesFollowTheirSource) {
    CObject* parent = add(root, "core:object", "parent");
    CObject* child = add(parent, "core:object", "child");
    ASSERT_EQ(parent->setAttr("height", "100", true), nullptr);
    ASSERT_EQ(child->setAttr("height", "{*/^ height}", true), nullptr);
    EXPECT_EQ(text(child, "height"), "100");
    ASSERT_EQ(parent->setAttr("height", "120", true), nullptr);
    EXPECT_EQ(text(child, "height"), "120");

    // The bound object goes first, then the source: nothing dangles either way.
    CObject* other = add(root, "core:object", "other");
    ASSERT_EQ(other->setAttr("height", "{*/parent height}", true), nullptr);
    root->destroyChild(other);
    ASSERT_EQ(parent->setAttr("height", "130", true), nullptr);
    EXPECT_EQ(text(child, "height"), "130");
    CObject* follower = add(root, "core:object", "follower");
    ASSERT_EQ(follower->setAttr("height", "{*/parent height}", true), nullptr);
    root->destroyChild(parent);
    EXPECT_EQ(text(follower, "height"), "130");
}

TEST_F(CObjectTest, DoublerDrivesItsTargets) {
    CObject* a = add(root, "core:object", "a");
    CObject* b = add(root, "core:object", "b");
    CObject* doubler = add(a, "core:attr-doubler", "d");
    ASSERT_EQ(doubler->setAttr("target", "^ /b", false), nullptr);
    ASSERT_EQ(doubler->setAttr("attr", "scroller-width", false), nullptr);
    ASSERT_EQ(doubler->setAttr("value", "42", false), nullptr);
    EXPECT_EQ(text(a, "scroller-width"), "") << "deferred until initContent";
    ASSERT_EQ(doubler->init(), nullptr);
    ASSERT_EQ(doubler->initContent(), nullptr);
    EXPECT_EQ(text(a, "scroller-width"), "42");
    ASSERT_EQ(doubler->setAttr("value", "43", true), nullptr);
    EXPECT_EQ(text(b, "scroller-width"), "43");

    CObject* lonely = add(root, "core:attr-doubler", "lonely");
    EXPECT_EQ(test::firstLine(lonely->init()), "No target objects specified.");
    ASSERT_EQ(lonely->setAttr("target", "^ nowhere", false), nullptr);
    EXPECT_EQ(test::firstLine(lonely->init()), "Target object 'nowhere' not found.");
}

TEST_F(CObjectTest, ReadOnlyObjectsAndGenericCreationLog) {
    test::LogCapture log;
    CObject* unknown = add(root, "ui:unknown-tag", "u");
    add(root, "template", "t");
    add(root, "content", "content");
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0], "Creating CObject 'u' (tag 'ui:unknown-tag')");

    // Completed while no shared object exists: read-only.
    CObject* shared = CObject::sharedObject();
    CObject::setSharedObject(nullptr);
    ASSERT_EQ(unknown->initComplete(), nullptr);
    CObject::setSharedObject(shared);
    EXPECT_TRUE(unknown->isReadOnly());
    EXPECT_EQ(unknown->setAttr("x", "1", true), nullptr);
    EXPECT_FALSE(unknown->hasAttr("x"));
    CObject* child = nullptr;
    EXPECT_EQ(test::firstLine(unknown->addChild("core:object", "c", false, child)),
              "Error adding child to read-only object.");
    ASSERT_EQ(root->initComplete(), nullptr);
    EXPECT_FALSE(root->isReadOnly());
}

TEST_F(CObjectTest, EventsRunByNameFromTheClassRecord) {
    CObject* o = add(root, "core:object", "o");
    EXPECT_EQ(test::firstLine(o->runEvent("no-such-event")), "Unknown event 'no-such-event'.");
    CObject* doomed = add(o, "core:object", "doomed");
    (void)doomed;
    CParamList params;
    params.set("sender", "o.doomed");
    ASSERT_EQ(o->runEvent("release-child-bridged", params), nullptr);
    EXPECT_EQ(root->findObject("o.doomed"), nullptr);
    EXPECT_TRUE(o->children().empty());
    params.set("sender", "o.gone");
    EXPECT_EQ(o->runEvent("release-child-bridged", params), nullptr) << "nothing to release";
}
