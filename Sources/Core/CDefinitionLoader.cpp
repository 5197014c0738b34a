#include "Core/CDefinitionLoader.h"

#include <cstring>

#include "Core/CDebugLog.h"
#include "Core/CMemoryReader.h"
#include "Core/CObject.h"
#include "Core/CResourceReader.h"

namespace qel {

namespace {

template <class T>
CError* readScalar(CMemoryReaderStatic& cursor, T& value) {
    return cursor.read(&value, sizeof(T));
}

CError* corrupt(const char* what) {
    return QEL_ERROR({}, "@qelstr_CObject_loadXMLData_Corrupt Invalid definition data (%1).", what);
}

// Decodes the string index and pool; every string must end inside the pool.
CError* decodeStrings(const uint8_t* table, uint32_t count, uint32_t tableSize, CStringTable& strings) {
    if (uint64_t(count) * 4 > tableSize) return corrupt("string index");
    strings.strings.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t offset;
        std::memcpy(&offset, table + 4 * i, 4);
        if (offset >= tableSize) return corrupt("string offset");
        const uint8_t* begin = table + offset;
        const void* end = std::memchr(begin, 0, tableSize - offset);
        if (!end) return corrupt("string end");
        strings.strings.push_back(CString::fromUtf8(std::string_view(
            reinterpret_cast<const char*>(begin), size_t(static_cast<const uint8_t*>(end) - begin))));
    }
    return nullptr;
}

} // namespace

CError* CDefinitionLoader::loadXMLData(CObject& object, const CString& resourceName, bool runPhases) {
    double start = CDebugLog::now();
    CResourceReader reader;
    if (CError* error = reader.open(resourceName)) return QEL_PASS_CTX(error, object.fullName());

    auto strings = std::make_shared<CStringTable>();
    uint32_t count = 0, tableSize = 0;
    QEL_CHECK(reader.readValue(count));
    const uint8_t* memory = reader.getMemoryPtr();
    QEL_CHECK(reader.readValue(tableSize));
    CByteBuffer tableBytes, rest;
    const uint8_t* table = nullptr;
    const uint8_t* nodes = nullptr;
    int32_t nodeBytes = 0;
    if (memory) {
        table = memory + 4;
        QEL_CHECK(reader.skip(int32_t(tableSize)));
        int32_t size = 0, position = 0;
        QEL_CHECK(reader.getSizeInt(size));
        QEL_CHECK(reader.getPositionInt32(position));
        nodes = table + tableSize;
        nodeBytes = size - position;
        strings->isStatic = true;
    } else {
        tableBytes.resize(tableSize);
        QEL_CHECK(reader.read(tableBytes.data(), tableSize));
        int32_t size = 0, position = 0;
        QEL_CHECK(reader.getSizeInt(size));
        QEL_CHECK(reader.getPositionInt32(position));
        rest.resize(size_t(size - position));
        QEL_CHECK(reader.read(rest.data(), uint32_t(rest.size())));
        table = tableBytes.data();
        nodes = rest.data();
        nodeBytes = int32_t(rest.size());
    }
    if (CError* error = decodeStrings(table, count, tableSize, *strings))
        return QEL_PASS_CTX(error, object.fullName());

    CMemoryReaderStatic cursor(nodes, nodeBytes);
    Switches switches;
    switches.runPhases = runPhases;
    switches.skipLead = true;
    QEL_CHECK(loadNode(object, cursor, strings, strings->isStatic, switches));

    std::string name = resourceName.toUtf8();
    CDebugLog::writeLine(CString::format("loadXMLData \"%s\" init time: %.4f s @ %.4f s", name.c_str(),
                                         CDebugLog::now() - start, CDebugLog::secondsSinceLoad()),
                         object.fullName());
    return nullptr;
}

CError* CDefinitionLoader::loadBody(CObject& object, const CTemplateBody& body, bool attributesOnly) {
    CMemoryReaderStatic cursor(body.bytes, int32_t(body.size));
    Switches switches;
    switches.skipLead = true;
    switches.attributesOnly = attributesOnly;
    switches.skipAttributes = !attributesOnly;
    QEL_CHECK(loadNode(object, cursor, body.strings, body.borrowed, switches));
    return nullptr;
}

CError* CDefinitionLoader::loadNode(CObject& object, CMemoryReaderStatic& cursor,
                                    const CStringTableRef& strings, bool isStatic, Switches switches) {
    if (switches.skipLead) QEL_CHECK(cursor.skip(4));
    uint8_t kind = 0;
    QEL_CHECK(readScalar(cursor, kind));
    if (kind != 0) {
        auto body = std::make_unique<CTemplateBody>();
        body->strings = strings;
        uint16_t classTag = 0;
        QEL_CHECK(readScalar(cursor, classTag));
        body->classTag = strings->at(classTag);
        QEL_CHECK(readScalar(cursor, body->size));
        const uint8_t* bytes = cursor.getMemoryPtr();
        QEL_CHECK(cursor.skip(int32_t(body->size)));
        if (isStatic) {
            body->borrowed = true;
            body->bytes = bytes;
        } else {
            body->owned.assign(bytes, bytes + body->size);
            body->bytes = body->owned.data();
        }
        object.setTemplateBody(std::move(body));
        CError* error = object.initContent();
        if (!error) error = object.initComplete();
        if (error) return QEL_PASS_CTX(error, object.fullName());
        object.setState(CObject::Loaded);
        return nullptr;
    }

    uint16_t attrCount = 0;
    QEL_CHECK(readScalar(cursor, attrCount));
    if (switches.skipAttributes) {
        QEL_CHECK(cursor.skip(4 * int32_t(attrCount)));
    } else {
        for (uint16_t i = 0; i < attrCount; ++i) {
            uint16_t nameNumber = 0, valueNumber = 0;
            QEL_CHECK(readScalar(cursor, nameNumber));
            QEL_CHECK(readScalar(cursor, valueNumber));
            const CString& name = strings->at(nameNumber);
            const CString& value = strings->at(valueNumber);
            // Empty and "false" only override defaults; they never create attributes.
            if ((value.isEmpty() || value == "false") && !object.hasAttr(name)) continue;
            if (CError* error = object.setAttr(name, value, false))
                return QEL_PASS_CTX(error, object.fullName());
        }
    }
    if (switches.runPhases) {
        CError* error = object.init();
        if (!error) error = object.initContent();
        if (error) return QEL_PASS_CTX(error, object.fullName());
    }
    if (!switches.attributesOnly) {
        uint16_t childCount = 0;
        QEL_CHECK(readScalar(cursor, childCount));
        for (uint16_t i = 0; i < childCount; ++i) {
            uint16_t tagNumber = 0, nameNumber = 0;
            QEL_CHECK(readScalar(cursor, tagNumber));
            QEL_CHECK(readScalar(cursor, nameNumber));
            CObject* child = nullptr;
            if (CError* error =
                    object.addChild(strings->at(tagNumber), strings->at(nameNumber), false, child)) {
                if (child) object.destroyChild(child);
                return QEL_PASS_CTX(error, object.fullName());
            }
            Switches childSwitches;
            childSwitches.runPhases = true;
            if (CError* error = loadNode(*child, cursor, strings, isStatic, childSwitches)) {
                // One frame per level, named after the child that failed.
                error = QEL_PASS_CTX(error, child->fullName());
                object.destroyChild(child);
                return error;
            }
            if (child->templateBody()) object.registerTemplate(child);
        }
    }
    if (switches.runPhases) {
        if (CError* error = object.initComplete()) return QEL_PASS_CTX(error, object.fullName());
        object.setState(CObject::Loaded);
    }
    return nullptr;
}

} // namespace qel
