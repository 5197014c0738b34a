#include "Audio/ParamFilters/CAudioParamRemapDef.h"

namespace qel {

CError* CAudioParamRemapDef::parsePairs(const CString& text, const CString& context,
                                        std::vector<std::pair<CString, CString>>& pairs) {
    const uint32_t separator = text.find(';') != CString::npos ? ';' : ' ';
    for (const CString& piece : text.split(separator)) {
        // Line breaks and indentation around pieces are not pieces.
        if (piece.trimmed().isEmpty()) continue;
        std::vector<CString> parts = piece.split('=');
        if (parts.size() != 2)
            return QEL_ERROR(
                context,
                "@qelstr_CAudioParamRemapDef_init_InvalidRemap Invalid remapping string '%1' defined.", text);
        pairs.emplace_back(parts[0].trimmed(), parts[1].trimmed());
    }
    return nullptr;
}

CError* CAudioParamRemapDef::initComplete() {
    QEL_CHECK(CObject::initComplete());
    m_remaps.clear();
    const CString orig = getAttr("orig");
    const CString replacement = getAttr("new");
    if (!orig.isEmpty() && !replacement.isEmpty()) m_remaps.emplace_back(orig, replacement);
    for (CObject* child : children())
        if (child->tag() == "content") QEL_CHECK(parsePairs(child->getAttr("value"), fullName(), m_remaps));
    if (m_remaps.empty())
        return QEL_ERROR(fullName(),
                         "@qelstr_CAudioParamRemapDef_init_NoRemapsDefined No remappings defined.");
    return nullptr;
}

} // namespace qel
