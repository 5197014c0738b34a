#pragma once

#include <cstdint>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace qel::test {

// Reads a compiled definition tree back into one line of text, checking every rule of the layout on
// the way: {attr=value,...}[children], a child as `tag "name"` then its node, a template holder as
// <class> then its body's root. Throws std::runtime_error on the first broken rule.
class TreeDump {
public:
    static std::string dump(const std::vector<uint8_t>& bytes) {
        TreeDump reader(bytes);
        return reader.run();
    }

private:
    explicit TreeDump(const std::vector<uint8_t>& bytes) : m_bytes(bytes) {}

    static void check(bool condition, const char* rule) {
        if (!condition) throw std::runtime_error(rule);
    }
    uint32_t take(size_t size) {
        check(m_at + size <= m_bytes.size(), "read past the end");
        uint32_t value = 0;
        for (size_t i = 0; i < size; ++i)
            value |= uint32_t(m_bytes[m_at + i]) << (8 * i);
        m_at += size;
        return value;
    }
    const std::string& text(uint32_t number) {
        check(number < m_strings.size(), "string number out of range");
        return m_strings[number];
    }

    std::string terminated(size_t at, size_t end) const {
        std::string value;
        for (;; ++at) {
            check(at < end, "strings end inside the pool");
            if (m_bytes[at] == 0) return value;
            value += char(m_bytes[at]);
        }
    }

    std::string run() {
        uint32_t count = take(4), tableSize = take(4);
        check(count >= 1 && count <= 65536 && uint64_t(count) * 4 < tableSize, "string counts");
        check(8 + size_t(tableSize) <= m_bytes.size(), "string table size");
        std::set<uint32_t> offsets;
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t offset = take(4);
            check(offset >= 4 * count && offset < tableSize, "string offset inside the pool");
            offsets.insert(offset);
            m_strings.push_back(terminated(8 + offset, 8 + size_t(tableSize)));
        }
        check(m_strings[0].empty() && *offsets.begin() == 4 * count, "string 0 is empty and first");
        std::string previous;
        for (size_t at = 8 + 4 * size_t(count), end = 8 + size_t(tableSize); at < end;) {
            check(offsets.count(uint32_t(at - 8)) == 1, "each pool string has one number");
            std::string value = terminated(at, end);
            check(at == 8 + 4 * size_t(count) || previous < value, "pool sorted, each string once");
            previous = value;
            at += value.size() + 1;
        }
        check(offsets.size() == count, "distinct offsets");
        m_at = 8 + size_t(tableSize);
        check(take(4) == 0, "root lead word is 0");
        std::string result = node();
        check(m_at == m_bytes.size(), "no bytes after the root");
        return result;
    }

    std::string node() {
        if (take(1) != 0) {
            uint32_t classTag = take(2);
            uint32_t size = take(4);
            size_t end = m_at + size;
            check(take(4) == classTag, "body lead word is the class tag");
            std::string body = "<" + text(classTag) + ">" + node();
            check(m_at == end, "body size");
            return body;
        }
        std::string out = "{";
        for (uint32_t i = 0, count = take(2); i < count; ++i) {
            out += i ? "," : "";
            out += text(take(2));
            out += "=" + text(take(2));
        }
        out += "}[";
        for (uint32_t i = 0, count = take(2); i < count; ++i) {
            out += i ? " " : "";
            out += text(take(2));
            out += " \"" + text(take(2)) + "\"";
            out += node();
        }
        return out + "]";
    }

    const std::vector<uint8_t>& m_bytes;
    size_t m_at = 0;
    std::vector<std::string> m_strings;
};

} // namespace qel::test
