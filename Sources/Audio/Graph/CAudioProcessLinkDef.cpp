#include "Audio/Graph/CAudioProcessLinkDef.h"

namespace qel {

CError* CAudioProcessLinkDef::parseEnd(const char* attr, CString& name, int32_t& port) {
    const bool isSrc = CString(attr) == "src";
    const CString value = getAttr(attr);
    if (value.isEmpty())
        return isSrc ? QEL_ERROR(fullName(),
                                 "@qelstr_CAudioProcessLinkDef_init_NoSrc No 'src' attribute defined.")
                     : QEL_ERROR(fullName(),
                                 "@qelstr_CAudioProcessLinkDef_init_NoDst No 'dst' attribute defined.");
    const size_t slash = value.find('/');
    name = slash == CString::npos ? value : value.substr(0, slash);
    port = 0;
    if (slash != CString::npos && (!value.substr(slash + 1).parseInt32(port) || port < 0))
        return isSrc
                   ? QEL_ERROR(
                         fullName(),
                         "@qelstr_CAudioProcessLinkDef_init_SrcPortError Invalid port in the 'src' attribute "
                         "value '%1' specified.",
                         value)
                   : QEL_ERROR(
                         fullName(),
                         "@qelstr_CAudioProcessLinkDef_init_DstPortError Invalid port in the 'dst' attribute "
                         "value '%1' specified.",
                         value);
    if (name.trimmed().isEmpty())
        return isSrc
                   ? QEL_ERROR(fullName(),
                               "@qelstr_CAudioProcessLinkDef_init_SrcNameError Invalid process in the 'src' "
                               "attribute value '%1' specified.",
                               value)
                   : QEL_ERROR(fullName(),
                               "@qelstr_CAudioProcessLinkDef_init_DstNameError Invalid process in the 'dst' "
                               "attribute value '%1' specified.",
                               value);
    return nullptr;
}

CError* CAudioProcessLinkDef::init() {
    QEL_CHECK(CObject::init());
    QEL_CHECK(parseEnd("src", m_srcName, m_srcPort));
    QEL_CHECK(parseEnd("dst", m_dstName, m_dstPort));
    m_stateIds.clear();
    for (const CString& piece : getAttr("state-id").split(' ')) {
        int32_t id = 0;
        if (!piece.parseInt32(id))
            return QEL_ERROR(
                fullName(),
                "@qelstr_CAudioProcessLinkDef_init_StateError Invalid state identifier '%1' specified.",
                piece);
        m_stateIds.push_back(id);
    }
    m_bypassStateId = hasAttr("bypass-state-id") ? getAttrInt("bypass-state-id", -1) : -1;
    return nullptr;
}

} // namespace qel
