#include "BankBuilder/CBankBuilder.h"

#include "Common/ToolFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <pugixml.hpp>

#include "Audio/Converters/CAudioParamConverterGain.h"
#include "Audio/Params/CAudioParamStorage.h"
#include "Audio/Params/CAudioPresetBank.h"
#include "Core/CResourceContainer.h"
#include "Core/CWriteSeqBuffer.h"

namespace qel {

namespace {

class CBuilder {
public:
    CBuilder(const std::string& source, const std::string& fileName)
        : m_source(source), m_fileName(fileName) {}

    bool fail(ptrdiff_t offset, const std::string& message) {
        int line = 1;
        for (ptrdiff_t i = 0; i < offset && size_t(i) < m_source.size(); ++i)
            line += m_source[size_t(i)] == '\n';
        m_failure = m_fileName + ":" + std::to_string(line) + ": " + message;
        return false;
    }

    bool readBank(pugi::xml_node node, CAudioPresetBank& bank) {
        bank.setName(CString::fromUtf8(node.attribute("name").value()));
        for (pugi::xml_node child : node.children()) {
            if (child.type() != pugi::node_element) continue;
            if (std::string_view(child.name()) != "preset")
                return fail(child.offset_debug(), "expected <preset>");
            if (!readPreset(child, bank.addPreset())) return false;
        }
        return true;
    }

    bool readPreset(pugi::xml_node node, CAudioPreset& preset) {
        bool named = false;
        for (pugi::xml_attribute attribute : node.attributes()) {
            const std::string name = attribute.name();
            if (name == "name") {
                preset.setName(CString::fromUtf8(attribute.value()));
                named = true;
                continue;
            }
            // One number per element, separated by commas.
            CAudioParamStorage storage;
            storage.setShape(1, 0, false, false);
            const std::string text = attribute.value();
            int32_t element = 0;
            for (size_t start = 0; start <= text.size(); ++element) {
                const size_t comma = std::min(text.find(',', start), text.size());
                std::string piece = text.substr(start, comma - start);
                // Gains may be written in decibels; they are stored as amplitude factors.
                const bool decibels = piece.size() > 2 && piece.compare(piece.size() - 2, 2, "dB") == 0;
                if (decibels) piece.resize(piece.size() - 2);
                char* end = nullptr;
                errno = 0;
                double value = std::strtod(piece.c_str(), &end);
                if (decibels) value = CAudioParamConverterGain::fromDecibels(value);
                if (piece.empty() || *end || errno)
                    return fail(node.offset_debug(),
                                "value \"" + text + "\" of \"" + name + "\" is not a number");
                storage.setValue(0, element, 0, value);
                start = comma + 1;
            }
            CWriteSeqBuffer bytes;
            if (CError* error = storage.save(bytes, -1)) {
                qelErrRelease(error);
                return fail(node.offset_debug(), "cannot write \"" + name + "\"");
            }
            preset.setEntry(CString::fromUtf8(name), bytes.join());
        }
        return named || fail(node.offset_debug(), "preset without a name");
    }

    bool build(uint32_t& type, std::vector<uint8_t>& block) {
        pugi::xml_document document;
        pugi::xml_parse_result parsed = document.load_buffer(m_source.data(), m_source.size());
        if (!parsed) return fail(parsed.offset, parsed.description());
        pugi::xml_node root = document.document_element();
        if (std::string_view(root.name()) != "banks") return fail(root.offset_debug(), "expected <banks>");
        const std::string typeName = root.attribute("type").value();
        if (typeName != "alst" && typeName != "abnk")
            return fail(root.offset_debug(), "type must be \"alst\" or \"abnk\"");

        std::vector<std::unique_ptr<CAudioPresetBank>> banks;
        for (pugi::xml_node child : root.children()) {
            if (child.type() != pugi::node_element) continue;
            if (std::string_view(child.name()) != "bank")
                return fail(child.offset_debug(), "expected <bank>");
            if (!readBank(child, *banks.emplace_back(std::make_unique<CAudioPresetBank>()))) return false;
        }
        CWriteSeqBuffer out;
        CError* error = nullptr;
        if (typeName == "alst") {
            type = CAudioPresetBank::kListType;
            std::vector<const CAudioPresetBank*> list;
            for (const auto& bank : banks)
                list.push_back(bank.get());
            error = CAudioPresetBank::saveList(out, list);
        } else {
            type = CAudioPresetBank::kResourceType;
            if (banks.size() != 1)
                return fail(root.offset_debug(), "an \"abnk\" file holds exactly one bank");
            error = banks[0]->save(out);
        }
        if (error) {
            qelErrRelease(error);
            return fail(0, "cannot write the banks");
        }
        block = out.join();
        return true;
    }

    const std::string& failure() const { return m_failure; }

private:
    const std::string& m_source;
    std::string m_fileName;
    std::string m_failure;
};

} // namespace

bool CBankBuilder::build(const std::string& xml, const std::string& fileName, uint32_t& type,
                         std::vector<uint8_t>& block, std::string& failure) {
    CBuilder builder(xml, fileName);
    if (builder.build(type, block)) return true;
    failure = builder.failure();
    return false;
}

bool CBankBuilder::buildFile(const std::string& inputPath, const std::string& outputPath,
                             std::string& failure) {
    std::string xml;
    if (!readInputFile(inputPath, xml, failure)) return false;
    uint32_t type = 0;
    std::vector<uint8_t> block;
    if (!build(xml, std::filesystem::path(inputPath).filename().string(), type, block, failure)) return false;
    std::filesystem::create_directories(std::filesystem::path(outputPath).parent_path());
    if (CError* error = CResourceContainer::save(CString::fromUtf8(outputPath), type, block)) {
        failure = outputPath + ": " + error->joined("\n").toUtf8();
        qelErrRelease(error);
        return false;
    }
    return true;
}

} // namespace qel
