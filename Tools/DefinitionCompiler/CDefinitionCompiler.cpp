#include "DefinitionCompiler/CDefinitionCompiler.h"

#include "Common/ToolFiles.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numeric>
#include <pugixml.hpp>
#include <unordered_map>
#include <unordered_set>

namespace qel {

namespace {

// String numbers and entry counts are 16-bit in the compiled tree.
constexpr size_t kMaxStrings = 65536;
constexpr size_t kMaxEntries = 65535;

bool isXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Rejects overlong forms, surrogates and code points past U+10FFFF, which the loader cannot decode.
bool isValidUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        uint8_t lead = uint8_t(text[i]);
        size_t extra = 0;
        uint32_t codePoint = 0, minimum = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1, codePoint = lead & 0x1F, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2, codePoint = lead & 0x0F, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3, codePoint = lead & 0x07, minimum = 0x10000;
        } else {
            return false;
        }
        if (text.size() - i <= extra) return false;
        for (size_t k = 1; k <= extra; ++k) {
            uint8_t next = uint8_t(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            codePoint = codePoint << 6 | (next & 0x3F);
        }
        if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

// Which attributes of an element are not object attributes.
enum class EElementRole { Root, Object, TemplateBody };

// One entry among an element's children: a child element, or a run of text that becomes a
// "content" child.
struct SChildItem {
    pugi::xml_node element;
    std::string text;
    ptrdiff_t offset = 0;
};

class CTreeWriter {
public:
    explicit CTreeWriter(std::string_view source) : m_source(source) {
        uint16_t empty;
        intern("", 0, empty);
    }

    bool writeRoot(pugi::xml_node root) {
        put32(0); // root lead word
        return writeElement(root, EElementRole::Root);
    }

    std::vector<uint8_t> finish() const;

    int failureLine() const { return lineAt(m_failureOffset); }
    const std::string& failureMessage() const { return m_failureMessage; }

    bool fail(ptrdiff_t offset, std::string message) {
        m_failureOffset = offset;
        m_failureMessage = std::move(message);
        return false;
    }

private:
    bool writeElement(pugi::xml_node element, EElementRole role);
    bool writeChild(pugi::xml_node element, std::unordered_map<std::string, ptrdiff_t>& siblingNames);
    bool writeContent(const SChildItem& item);
    bool collectChildren(pugi::xml_node element, std::vector<SChildItem>& items);
    bool intern(std::string_view text, ptrdiff_t offset, uint16_t& number);

    int lineAt(ptrdiff_t offset) const {
        size_t end = std::min(size_t(std::max<ptrdiff_t>(offset, 0)), m_source.size());
        // The end of the input belongs to the last line, not to the empty one after it.
        if (end == m_source.size() && end > 0 && m_source[end - 1] == '\n') --end;
        return 1 + int(std::count(m_source.begin(), m_source.begin() + ptrdiff_t(end), '\n'));
    }
    void put8(uint8_t value) { m_nodes.push_back(value); }
    void put16(uint16_t value) {
        m_nodes.push_back(uint8_t(value));
        m_nodes.push_back(uint8_t(value >> 8));
    }
    void put32(uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8)
            m_nodes.push_back(uint8_t(value >> shift));
    }

    std::string_view m_source;
    std::unordered_map<std::string, uint16_t> m_numbers;
    std::vector<std::string> m_strings; // by string number
    std::vector<uint8_t> m_nodes;
    ptrdiff_t m_failureOffset = 0;
    std::string m_failureMessage;
};

bool CTreeWriter::intern(std::string_view text, ptrdiff_t offset, uint16_t& number) {
    auto found = m_numbers.find(std::string(text));
    if (found != m_numbers.end()) {
        number = found->second;
        return true;
    }
    if (m_strings.size() == kMaxStrings)
        return fail(offset, "more than " + std::to_string(kMaxStrings) + " distinct strings in one file");
    if (!isValidUtf8(text)) return fail(offset, "invalid UTF-8 text");
    number = uint16_t(m_strings.size());
    m_strings.emplace_back(text);
    m_numbers.emplace(std::string(text), number);
    return true;
}

bool CTreeWriter::writeElement(pugi::xml_node element, EElementRole role) {
    ptrdiff_t offset = element.offset_debug();
    std::vector<pugi::xml_attribute> attributes;
    std::unordered_set<std::string_view> seen;
    for (pugi::xml_attribute attribute : element.attributes()) {
        std::string_view name = attribute.name();
        // pugixml accepts repeated attributes; XML does not.
        if (!seen.insert(name).second)
            return fail(offset, "duplicate attribute \"" + std::string(name) + "\"");
        if (role != EElementRole::Root && name == "name") continue;
        if (role == EElementRole::TemplateBody && name == "class") continue;
        attributes.push_back(attribute);
    }
    if (attributes.size() > kMaxEntries) return fail(offset, "more than 65535 attributes");

    put8(0);
    put16(uint16_t(attributes.size()));
    for (pugi::xml_attribute attribute : attributes) {
        uint16_t name, value;
        if (!intern(attribute.name(), offset, name) || !intern(attribute.value(), offset, value))
            return false;
        put16(name);
        put16(value);
    }

    std::vector<SChildItem> items;
    if (!collectChildren(element, items)) return false;
    put16(uint16_t(items.size()));
    std::unordered_map<std::string, ptrdiff_t> siblingNames;
    for (const SChildItem& item : items) {
        if (!(item.element ? writeChild(item.element, siblingNames) : writeContent(item))) return false;
    }
    return true;
}

// Text runs are split only by child elements; comments inside a run do not break it.
bool CTreeWriter::collectChildren(pugi::xml_node element, std::vector<SChildItem>& items) {
    SChildItem run;
    bool inRun = false;
    auto flush = [&] {
        if (!inRun) return;
        inRun = false;
        size_t first = 0, last = run.text.size();
        while (first < last && isXmlSpace(run.text[first]))
            ++first;
        while (last > first && isXmlSpace(run.text[last - 1]))
            --last;
        if (first == last) return;
        // Errors about the text name the line where it becomes visible.
        while (size_t(run.offset) < m_source.size() && isXmlSpace(m_source[size_t(run.offset)]))
            ++run.offset;
        items.push_back({{}, run.text.substr(first, last - first), run.offset});
    };
    for (pugi::xml_node child : element.children()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
            if (!inRun) run = {{}, {}, child.offset_debug()};
            inRun = true;
            run.text += child.value();
        } else if (child.type() == pugi::node_element) {
            flush();
            items.push_back({child, {}, child.offset_debug()});
        }
    }
    flush();
    if (items.size() > kMaxEntries) return fail(element.offset_debug(), "more than 65535 children");
    return true;
}

bool CTreeWriter::writeChild(pugi::xml_node element,
                             std::unordered_map<std::string, ptrdiff_t>& siblingNames) {
    ptrdiff_t offset = element.offset_debug();
    std::string_view tag = element.name();
    pugi::xml_attribute nameAttribute = element.attribute("name");
    std::string name = nameAttribute.value();
    bool isTemplate = tag == "template";
    if (isTemplate && name.empty()) return fail(offset, "template without a name");
    std::string classTag = element.attribute("class").value();
    if (isTemplate && classTag.empty()) return fail(offset, "template \"" + name + "\" without a class");
    if (!name.empty()) {
        auto [earlier, added] = siblingNames.emplace(name, offset);
        if (!added)
            return fail(offset, "duplicate name \"" + name + "\" among siblings (first on line " +
                                    std::to_string(lineAt(earlier->second)) + ")");
    }

    uint16_t tagNumber, nameNumber;
    if (!intern(tag, offset, tagNumber) || !intern(name, offset, nameNumber)) return false;
    put16(tagNumber);
    put16(nameNumber);
    if (!isTemplate) return writeElement(element, EElementRole::Object);

    uint16_t classNumber;
    if (!intern(classTag, offset, classNumber)) return false;
    put8(1);
    put16(classNumber);
    size_t sizeAt = m_nodes.size();
    put32(0);
    put32(classNumber); // body lead word
    if (!writeElement(element, EElementRole::TemplateBody)) return false;
    uint32_t bodySize = uint32_t(m_nodes.size() - sizeAt - 4);
    for (int i = 0; i < 4; ++i)
        m_nodes[sizeAt + size_t(i)] = uint8_t(bodySize >> (8 * i));
    return true;
}

bool CTreeWriter::writeContent(const SChildItem& item) {
    uint16_t content, value, text;
    if (!intern("content", item.offset, content) || !intern("value", item.offset, value) ||
        !intern(item.text, item.offset, text))
        return false;
    put16(content);
    put16(content);
    put8(0);
    put16(1);
    put16(value);
    put16(text);
    put16(0);
    return true;
}

std::vector<uint8_t> CTreeWriter::finish() const {
    std::vector<uint32_t> sorted(m_strings.size());
    std::iota(sorted.begin(), sorted.end(), 0u);
    // std::string compares as unsigned bytes, which is the pool order the loader expects.
    std::sort(sorted.begin(), sorted.end(),
              [this](uint32_t a, uint32_t b) { return m_strings[a] < m_strings[b]; });
    uint32_t indexBytes = uint32_t(4 * m_strings.size());
    std::vector<uint32_t> offsets(m_strings.size());
    std::vector<uint8_t> pool;
    for (uint32_t number : sorted) {
        offsets[number] = indexBytes + uint32_t(pool.size());
        pool.insert(pool.end(), m_strings[number].begin(), m_strings[number].end());
        pool.push_back(0);
    }

    std::vector<uint8_t> out;
    out.reserve(8 + indexBytes + pool.size() + m_nodes.size());
    auto put = [&out](uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8)
            out.push_back(uint8_t(value >> shift));
    };
    put(uint32_t(m_strings.size()));
    put(indexBytes + uint32_t(pool.size()));
    for (uint32_t offset : offsets)
        put(offset);
    out.insert(out.end(), pool.begin(), pool.end());
    out.insert(out.end(), m_nodes.begin(), m_nodes.end());
    return out;
}

std::string located(const std::string& fileName, int line, const std::string& message) {
    return fileName + ":" + std::to_string(line) + ": " + message;
}

} // namespace

bool CDefinitionCompiler::compile(std::string_view xml, const std::string& fileName,
                                  std::vector<uint8_t>& tree, std::string& failure) {
    tree.clear();
    CTreeWriter writer(xml);
    pugi::xml_document document;
    pugi::xml_parse_result parsed =
        document.load_buffer(xml.data(), xml.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!parsed) {
        writer.fail(parsed.offset, parsed.description());
        failure = located(fileName, writer.failureLine(), writer.failureMessage());
        return false;
    }
    pugi::xml_node root;
    for (pugi::xml_node node : document.children()) {
        if (node.type() != pugi::node_element) continue;
        if (root) {
            writer.fail(node.offset_debug(), "more than one root element");
            failure = located(fileName, writer.failureLine(), writer.failureMessage());
            return false;
        }
        root = node;
    }
    if (!writer.writeRoot(root)) {
        failure = located(fileName, writer.failureLine(), writer.failureMessage());
        return false;
    }
    tree = writer.finish();
    return true;
}

bool CDefinitionCompiler::compileFile(const std::string& inputPath, const std::string& outputPath,
                                      std::string& failure) {
    std::string xml;
    if (!readInputFile(inputPath, xml, failure)) return false;
    std::vector<uint8_t> tree;
    if (!compile(xml, inputPath, tree, failure)) return false;
    return writeOutputFile(outputPath, tree.data(), tree.size(), failure);
}

} // namespace qel
