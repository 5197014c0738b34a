#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>

#include "Core/CFileReader.h"
#include "Core/CFileWriter.h"
#include "Support/ErrorText.h"
#include "Support/TempDir.h"

using namespace qel;

TEST(FileStreams, WriteAppendReadSeekAndSize) {
    test::TempDir dir;
    CString path = CString::fromUtf8(dir.file("data.bin"));
    {
        CFileWriter writer;
        ASSERT_EQ(writer.open(path), nullptr);
        ASSERT_EQ(writer.writeString(CString::fromUtf8("K\xC3\xB6ren")), nullptr);
        ASSERT_EQ(writer.writeValue(int32_t(-7)), nullptr);
    } // destruction closes
    {
        CFileWriter writer;
        ASSERT_EQ(writer.open(path, true), nullptr);
        uint64_t position = 0;
        ASSERT_EQ(writer.getPosition(position), nullptr);
        EXPECT_EQ(position, 4u + 6u + 4u) << "appending starts at the end";
        ASSERT_EQ(writer.writeValue(double(0.5)), nullptr);
        ASSERT_EQ(writer.close(), nullptr);
        ASSERT_EQ(writer.close(), nullptr) << "closing twice succeeds";
    }
    CFileReader reader;
    ASSERT_EQ(reader.open(path), nullptr);
    uint64_t size = 0;
    ASSERT_EQ(reader.getSize(size), nullptr);
    EXPECT_EQ(size, 22u);
    CString text;
    int32_t number = 0;
    double half = 0;
    ASSERT_EQ(reader.readString(text), nullptr);
    ASSERT_EQ(reader.readValue(number), nullptr);
    ASSERT_EQ(reader.readValue(half), nullptr);
    EXPECT_EQ(text, CString::fromUtf8("K\xC3\xB6ren"));
    EXPECT_EQ(number, -7);
    EXPECT_EQ(half, 0.5);

    ASSERT_EQ(reader.setPosition(4), nullptr);
    ASSERT_EQ(reader.skip(6), nullptr);
    ASSERT_EQ(reader.readValue(number), nullptr);
    EXPECT_EQ(number, -7);

    uint8_t buffer[32];
    ASSERT_EQ(reader.setPosition(20), nullptr);
    EXPECT_EQ(test::firstLine(reader.read(buffer, 8)),
              "Unable to read from file '" + path.toUtf8() + "' (required 8 bytes, read 2 bytes).");
    uint32_t count = sizeof(buffer);
    ASSERT_EQ(reader.readStreamed(buffer, count), nullptr);
    EXPECT_EQ(count, 0u) << "at the end";

    // Rewriting truncates.
    CFileWriter rewriter;
    ASSERT_EQ(rewriter.open(path, false), nullptr);
    ASSERT_EQ(rewriter.close(), nullptr);
    ASSERT_EQ(reader.getSize(size), nullptr);
    EXPECT_EQ(size, 0u);
}

TEST(FileStreams, OpenFailuresNameThePathAndTheSystemError) {
    test::TempDir dir;
    std::string missing = dir.file("missing.cpf");
    CFileReader reader;
    EXPECT_EQ(test::firstLine(reader.open(CString::fromUtf8(missing))),
              "Unable to open file '" + missing + "' for reading (error " + std::to_string(ENOENT) + ").");
    uint8_t byte;
    EXPECT_NE(test::firstLine(reader.read(&byte, 1)), "") << "reading a closed file fails cleanly";

    std::string unwritable = dir.file("no/such/folder/out.cbf");
    CFileWriter writer;
    EXPECT_EQ(test::firstLine(writer.open(CString::fromUtf8(unwritable))),
              "Unable to open file '" + unwritable + "' for rewriting (error " + std::to_string(ENOENT) +
                  ").");
    EXPECT_EQ(test::firstLine(writer.open(CString::fromUtf8(unwritable), true)),
              "Unable to open file '" + unwritable + "' for appending (error " + std::to_string(ENOENT) +
                  ").");
    EXPECT_EQ(test::firstLine(writer.write(&byte, 1)).rfind("Unable to write to file '", 0), 0u);

    // Read-write opening creates a missing file.
    CFileReader created;
    ASSERT_EQ(created.open(CString::fromUtf8(dir.file("new.dat")), true), nullptr);
    EXPECT_TRUE(std::filesystem::exists(dir.file("new.dat")));
}

TEST(FileStreams, StandardHandlesAndStoredNames) {
    CFileReader in;
    ASSERT_EQ(in.open("*"), nullptr);
    EXPECT_EQ(in.fileName(), "stdin");
    CFileWriter out, err;
    ASSERT_EQ(out.open("*"), nullptr);
    ASSERT_EQ(err.open("*e"), nullptr);
    EXPECT_EQ(out.fileName(), "stdout");
    EXPECT_EQ(err.fileName(), "stderr");
    ASSERT_EQ(err.close(), nullptr);
    EXPECT_EQ(fcntl(2, F_GETFD) != -1, true) << "closing the stream keeps the process's handle open";

    CFileReader reader;
    CError* error = reader.open("C:\\Presets\\none.cpf");
    qelErrRelease(error);
    EXPECT_EQ(reader.fileName(), "C:/Presets/none.cpf");
}
