#include "DefinitionCompiler/CDefinitionCompiler.h"

#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <initializer_list>
#include <sys/wait.h>

#include "Support/TempDir.h"
#include "Tools/TreeDump.h"

using namespace qel;

namespace {

std::vector<uint8_t> compiled(const std::string& xml) {
    std::vector<uint8_t> tree;
    std::string failure;
    EXPECT_TRUE(CDefinitionCompiler::compile(xml, "Test.xml", tree, failure)) << failure;
    return tree;
}

std::string dumped(const std::string& xml) {
    return test::TreeDump::dump(compiled(xml));
}

std::string failure(const std::string& xml, const std::string& fileName = "Broken.xml") {
    std::vector<uint8_t> tree;
    std::string text;
    EXPECT_FALSE(CDefinitionCompiler::compile(xml, fileName, tree, text));
    EXPECT_TRUE(tree.empty());
    return text;
}

void words(std::vector<uint8_t>& out, std::initializer_list<uint32_t> values) {
    for (uint32_t value : values)
        for (int shift = 0; shift < 32; shift += 8)
            out.push_back(uint8_t(value >> shift));
}

} // namespace

TEST(CDefinitionCompilerTest, WritesTheExactTreeBytes) {
    const char* xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<data version=\"2.4\">\n"
                      "  <!-- comments leave no trace -->\n"
                      "  <core:object name=\"audio\" title=\"caf\xC3\xA9\">\n"
                      "    Warm \xE2\x82\xAC\n"
                      "    <core:object name=\"knob\"/>\n"
                      "  </core:object>\n"
                      "  <template name=\"knob\" class=\"core:object\" size=\"10\">\n"
                      "    <core:object name=\"cap\" title=\"caf\xC3\xA9\"/>\n"
                      "  </template>\n"
                      "</data>\n";
    // Numbers by first appearance: 0 "", 1 version, 2 "2.4", 3 core:object, 4 audio, 5 title,
    // 6 café, 7 content, 8 value, 9 "Warm €", 10 knob, 11 template, 12 size, 13 "10", 14 cap.
    std::vector<uint8_t> expected;
    words(expected, {15, 152});
    words(expected, {60, 144, 64, 101, 77, 132, 83, 93, 138, 68, 113, 123, 118, 61, 89});
    for (const char* text : {"", "10", "2.4", "Warm \xE2\x82\xAC", "audio", "caf\xC3\xA9", "cap", "content",
                             "core:object", "knob", "size", "template", "title", "value", "version"})
        expected.insert(expected.end(), text, text + std::strlen(text) + 1);
    const uint8_t nodes[] = {
        0,  0, 0,  0,                              // root lead word
        0,  1, 0,  1,  0, 2,  0, 2, 0,             // root: version=2.4, two children
        3,  0, 4,  0,                              // core:object "audio"
        0,  1, 0,  5,  0, 6,  0, 2, 0,             // title=café, two children
        7,  0, 7,  0,  0, 1,  0, 8, 0, 9, 0, 0, 0, // content "content": value="Warm €"
        3,  0, 10, 0,  0, 0,  0, 0, 0,             // core:object "knob", empty
        11, 0, 10, 0,                              // template "knob"
        1,  3, 0,  26, 0, 0,  0,                   // holder: class core:object, 26 body bytes
        3,  0, 0,  0,                              // body lead word: the class tag
        0,  1, 0,  12, 0, 13, 0, 1, 0,             // size=10, one child
        3,  0, 14, 0,  0, 1,  0, 5, 0, 6, 0, 0, 0, // core:object "cap": title=café
    };
    expected.insert(expected.end(), std::begin(nodes), std::end(nodes));
    EXPECT_EQ(compiled(xml), expected);
}

TEST(CDefinitionCompilerTest, TextTemplatesNamesAndRootAttributes) {
    // Text runs are split by child elements only, joined across comments and CDATA, and trimmed;
    // whitespace-only runs vanish.
    EXPECT_EQ(dumped("<data>\n"
                     "  <a name=\"x\">  first <!-- note --> part <b/>\n"
                     "    <![CDATA[<raw> ]]> tail &amp; end\n"
                     "  </a>\n"
                     "  <a>  \n\t </a>\n"
                     "</data>"),
              "{}[a \"x\"{}[content \"content\"{value=first  part}[] b \"\"{}[] "
              "content \"content\"{value=<raw>  tail & end}[]] a \"\"{}[]]");

    // Root attributes are all kept; unnamed and indexed siblings are not duplicates; the same name
    // under different parents is fine; a nested template keeps its own attributes and text.
    EXPECT_EQ(
        dumped("<data name=\"root\" skin=\"dark\">"
               "<a/><a/><p name=\"x\"/><p name=\"x#1\"/><q name=\"y\"><p name=\"x\"/></q>"
               "<template name=\"t\" class=\"ui:box\" w=\"1\" h=\"\">"
               "<template name=\"inner\" class=\"ui:label\">Hi</template>"
               "</template></data>"),
        "{name=root,skin=dark}[a \"\"{}[] a \"\"{}[] p \"x\"{}[] p \"x#1\"{}[] q \"y\"{}[p \"x\"{}[]] "
        "template \"t\"<ui:box>{w=1,h=}[template \"inner\"<ui:label>{}[content \"content\"{value=Hi}[]]]]");

    // An empty document element is a root without attributes or children.
    EXPECT_EQ(dumped("<data/>"), "{}[]");
    EXPECT_EQ(compiled("<data/>"),
              (std::vector<uint8_t>{1, 0, 0, 0, 5, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(CDefinitionCompilerTest, FailuresNameTheFileAndLine) {
    EXPECT_EQ(failure("<data>\n  <a>\n  </b>\n</data>\n"), "Broken.xml:3: Start-end tags mismatch");
    EXPECT_EQ(failure("<data>\n  <a>\n"), "Broken.xml:2: Start-end tags mismatch");
    EXPECT_EQ(failure("  \n"), "Broken.xml:1: No document element found");
    EXPECT_EQ(failure("<data/>\n<more/>\n", "Data/Two.xml"), "Data/Two.xml:2: more than one root element");

    EXPECT_EQ(failure("<data>\n  <template name=\"ok\" class=\"c\"/>\n\n"
                      "  <template name=\"knob\"\n     size=\"3\"/>\n</data>"),
              "Broken.xml:4: template \"knob\" without a class");
    EXPECT_EQ(failure("<data>\n\n  <template class=\"c\"/>\n</data>"),
              "Broken.xml:3: template without a name");
    EXPECT_EQ(failure("<data>\n  <template name=\"\" class=\"c\"/>\n</data>"),
              "Broken.xml:2: template without a name");

    // The second use is reported, with the first, even when the tags differ or one is a template.
    EXPECT_EQ(failure("<data>\n  <q>\n    <a name=\"x\"/>\n    <a name=\"x#1\"/>\n    <b name=\"x\"/>\n"
                      "  </q>\n</data>"),
              "Broken.xml:5: duplicate name \"x\" among siblings (first on line 3)");
    EXPECT_EQ(failure("<data>\n  <a name=\"t\"/>\n  <template name=\"t\" class=\"c\"/>\n</data>"),
              "Broken.xml:3: duplicate name \"t\" among siblings (first on line 2)");
    EXPECT_EQ(failure("<data>\n  <a x=\"1\"\n     x=\"2\"/>\n</data>"),
              "Broken.xml:2: duplicate attribute \"x\"");

    // Text reports the line where it becomes visible.
    EXPECT_EQ(failure("<data>\n  <a>\n\n    caf\xE9\n  </a>\n</data>"), "Broken.xml:4: invalid UTF-8 text");
    EXPECT_EQ(failure("<data>\n  <a v=\"\xED\xA0\x80\"/>\n</data>"), "Broken.xml:2: invalid UTF-8 text");
    EXPECT_EQ(failure("<data>\n<a v=\"\xC0\xAF\"/>\n</data>"), "Broken.xml:2: invalid UTF-8 text");
}

TEST(CDefinitionCompilerTest, SixteenBitLimits) {
    // "", the tag and N names: 65534 children make exactly 65536 strings.
    auto namedChildren = [](int count) {
        std::string xml = "<data>\n";
        for (int i = 0; i < count; ++i)
            xml += "<a name=\"n" + std::to_string(i) + "\"/>\n";
        return xml + "</data>\n";
    };
    std::vector<uint8_t> full = compiled(namedChildren(65534));
    ASSERT_GE(full.size(), 4u);
    EXPECT_EQ(full[0] | full[1] << 8 | full[2] << 16 | full[3] << 24, 65536);
    EXPECT_EQ(failure(namedChildren(65535)),
              "Broken.xml:65536: more than 65536 distinct strings in one file");

    std::string children = "<data>\n<x>";
    for (int i = 0; i < 65535; ++i)
        children += "<a/>";
    EXPECT_NO_THROW(test::TreeDump::dump(compiled(children + "</x></data>")));
    EXPECT_EQ(failure(children + "text</x></data>"), "Broken.xml:2: more than 65535 children");

    // Attribute names are distinct strings; values and the tag reuse them to stay within 65536.
    std::string attributes = "<data>\n\n<a0";
    for (int i = 0; i < 65535; ++i)
        attributes += " a" + std::to_string(i) + "=\"a" + std::to_string(i) + "\"";
    EXPECT_NO_THROW(test::TreeDump::dump(compiled(attributes + "/></data>")));
    EXPECT_EQ(failure(attributes + " name=\"named\" one=\"more\"/></data>"),
              "Broken.xml:3: more than 65535 attributes");
}

TEST(CDefinitionCompilerTest, CommandLineToolWritesTreesAndReportsFailures) {
    test::TempDir dir;
    {
        std::ofstream(dir.file("Good.xml")) << "<data a=\"1\"><b name=\"c\">d</b></data>\n";
        std::ofstream(dir.file("Bad.xml")) << "<data>\n<template name=\"t\"/>\n</data>\n";
    }
    std::string tool = QEL_DEFC_PATH;
    std::string output = dir.file("deeper/Data/Good.bin");
    ASSERT_EQ(std::system((tool + " " + dir.file("Good.xml") + " " + output).c_str()), 0);
    std::string written = test::readWholeFile(output);
    EXPECT_EQ(std::vector<uint8_t>(written.begin(), written.end()),
              compiled("<data a=\"1\"><b name=\"c\">d</b></data>"));

    std::string badOutput = dir.file("Bad.bin");
    int status =
        std::system((tool + " " + dir.file("Bad.xml") + " " + badOutput + " 2>" + dir.file("err")).c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    EXPECT_EQ(test::readWholeFile(dir.file("err")),
              dir.file("Bad.xml") + ":2: template \"t\" without a class\n");
    EXPECT_FALSE(std::filesystem::exists(badOutput));

    std::string failureText;
    EXPECT_FALSE(CDefinitionCompiler::compileFile(dir.file("Missing.xml"), badOutput, failureText));
    EXPECT_EQ(failureText, dir.file("Missing.xml") + ": cannot open the file");
    EXPECT_NE(std::system((tool + " only-one-argument 2>/dev/null").c_str()), 0);
}
