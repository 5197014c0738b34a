#include <gtest/gtest.h>

#include <fstream>

#include "Core/CDataSet.h"
#include "Core/CInputStream.h"
#include "Core/CResourceRegistry.h"
#include "Support/ErrorText.h"
#include "Support/TempDir.h"

namespace qel {
namespace {

// A data set whose format is one string.
class CTextSet : public CDataSet {
public:
    CString text;

protected:
    CError* read(CPosInputStream& stream) override { return stream.readString(text); }
};

TEST(CDataSetTest, ReadsEmbeddedResourcesBeforeFilesAndPassesFailuresOn) {
    const uint8_t block[] = {9, 0, 0, 0, 5, 0, 0, 0, 'e', 'm', 'b', 'e', 'd'};
    test::TempDir dir;
    std::string path = dir.file("set.txt");
    {
        std::ofstream file(path, std::ios::binary);
        const char bytes[] = {4, 0, 0, 0, 'f', 'i', 'l', 'e'};
        file.write(bytes, sizeof bytes);
    }

    CTextSet fromFile;
    ASSERT_EQ(fromFile.load(CString::fromUtf8(path)), nullptr);
    EXPECT_EQ(fromFile.text, "file");

    std::string name = path;
    const SEmbeddedResource table[] = {{name.c_str(), block}, {nullptr, nullptr}};
    CResourceRegistry::registerTable(table);
    CTextSet embedded;
    ASSERT_EQ(embedded.load(CString::fromUtf8(path)), nullptr);
    EXPECT_EQ(embedded.text, "embed");
    CResourceRegistry::clear();

    CTextSet missing;
    EXPECT_EQ(test::firstLine(missing.load(CString::fromUtf8(dir.file("none")))),
              "Unable to open file '" + dir.file("none") + "' for reading (error 2).");
    const uint8_t truncated[] = {6, 0, 0, 0, 50, 0, 0, 0, 'x', 'y'};
    const SEmbeddedResource shortTable[] = {{"short", truncated}, {nullptr, nullptr}};
    CResourceRegistry::registerTable(shortTable);
    CTextSet broken;
    EXPECT_NE(test::firstLine(broken.load("short")), "");
    CResourceRegistry::clear();
}

} // namespace
} // namespace qel
