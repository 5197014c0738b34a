#pragma once

#include <gtest/gtest.h>

#include "Core/CApplication.h"
#include "Core/CObject.h"

namespace qel::test {

// A registry with the core classes and an empty shared object, torn down after each test.
class ObjectTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CApplication::startup({qelCoreClassTable()}, nullptr, CString()), nullptr);
        ASSERT_EQ(CApplication::initRootObject(CString(), root), nullptr);
    }
    void TearDown() override {
        CApplication::releaseRootObject(root);
        CApplication::shutdown();
    }

    CObject* add(CObject* parent, const char* tag, const char* name) {
        CObject* child = nullptr;
        CError* error = parent->addChild(tag, name, false, child);
        EXPECT_EQ(error, nullptr);
        qelErrRelease(error);
        return child;
    }
    static std::string text(CObject* object, const char* attr) { return object->getAttr(attr).toUtf8(); }

    CObject* root = nullptr;
};

} // namespace qel::test
