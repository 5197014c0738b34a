#include "Core/CResourceReader.h"

#include "Core/CFileReader.h"
#include "Core/CMemoryReader.h"
#include "Core/CResourceRegistry.h"

namespace qel {

CError* CResourceReader::open(const CString& name) {
    m_inner.reset();
    const uint8_t* bytes = nullptr;
    uint32_t size = 0;
    if (CResourceRegistry::find(name, bytes, size)) {
        m_inner = std::make_unique<CMemoryReaderStatic>(bytes, int32_t(size));
        return nullptr;
    }
    auto file = std::make_unique<CFileReader>();
    QEL_CHECK(file->open(name));
    m_inner = std::move(file);
    return nullptr;
}

CError* CResourceReader::notOpen() {
    return QEL_ERROR({}, "@qelstr_CResourceReader_read_NotOpen Resource stream is not open.");
}

CError* CResourceReader::skip(int32_t count) {
    return m_inner ? m_inner->skip(count) : notOpen();
}

CError* CResourceReader::read(void* buffer, uint32_t count) {
    return m_inner ? m_inner->read(buffer, count) : notOpen();
}

CError* CResourceReader::readStreamed(void* buffer, uint32_t& count) {
    return m_inner ? m_inner->readStreamed(buffer, count) : notOpen();
}

CError* CResourceReader::getPosition(uint64_t& position) {
    return m_inner ? m_inner->getPosition(position) : notOpen();
}

CError* CResourceReader::setPosition(uint64_t position) {
    return m_inner ? m_inner->setPosition(position) : notOpen();
}

CError* CResourceReader::getSize(uint64_t& size) {
    return m_inner ? m_inner->getSize(size) : notOpen();
}

} // namespace qel
