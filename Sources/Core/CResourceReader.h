#pragma once

#include <memory>

#include "Core/CInputStream.h"

namespace qel {

// Opens an embedded resource by name, or a file of that name when no resource has it.
class CResourceReader : public CPosInputStream {
public:
    CError* open(const CString& name);

    const uint8_t* getMemoryPtr() override { return m_inner ? m_inner->getMemoryPtr() : nullptr; }
    CError* skip(int32_t count) override;
    CError* read(void* buffer, uint32_t count) override;
    CError* readStreamed(void* buffer, uint32_t& count) override;
    CError* getPosition(uint64_t& position) override;
    CError* setPosition(uint64_t position) override;
    CError* getSize(uint64_t& size) override;

private:
    CError* notOpen();

    std::unique_ptr<CPosInputStream> m_inner;
};

} // namespace qel
