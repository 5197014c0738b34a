#include "UI/UIClassTable.h"

#include "UI/CCaption.h"
#include "UI/CColorFill.h"
#include "UI/CDynamicColor.h"
#include "UI/CDynamicPalette.h"
#include "UI/CFrame.h"
#include "UI/CPicture.h"
#include "UI/CReadOut.h"
#include "UI/CSharedAttribute.h"
#include "UI/CStdEventBridge.h"
#include "UI/CStyle.h"
#include "UI/CTextView.h"
#include "UI/CView.h"
#include "UI/CVizExchange.h"
#include "UI/CWindowRenderer.h"

namespace qel {

const SCreatorEntry* qelUIClassTable() {
    static const SCreatorEntry table[] = {
        {"core:shared-attribute", qelCreate<CSharedAttribute>, CSharedAttribute::initClass},
        {"ui:ui-event-bridge", qelCreate<CStdEventBridge>, CClassRecord::initObject},
        {"ui:viz-exchange", qelCreate<CVizExchange>, CVizExchange::initClass},
        {"ui:view", qelCreate<CView>, CView::initClass},
        {"ui:frame", qelCreate<CFrame>, CPicture::initClass},
        {"ui:shadow", qelCreate<CFrame>, CPicture::initClass},
        {"ui:picture", qelCreate<CPicture>, CPicture::initClass},
        {"ui:color-fill", qelCreate<CColorFill>, CColorFill::initClass},
        {"ui:textview", qelCreate<CTextView>, CTextView::initClass},
        {"ui:caption", qelCreate<CCaption>, CTextView::initClass},
        {"ui:readout", qelCreate<CReadOut>, CTextView::initClass},
        {"ui:style", qelCreate<CStyle>, CClassRecord::initObject},
        {"ui:dynamic-palette", qelCreate<CDynamicPalette>, CDynamicPalette::initClass},
        {"ui:dynamic-color", qelCreate<CDynamicColor>, CDynamicColor::initClass},
        {"ui:window-renderer", qelCreate<CWindowRenderer>, CWindowRenderer::initClass},
        {"ui:param-data", qelCreate<CObject>, CClassRecord::initObject},
        {"ui:state-data", qelCreate<CObject>, CClassRecord::initObject},
        {"ui:textview-p", qelCreate<CObject>, CClassRecord::initObject},
        {nullptr, nullptr, nullptr},
    };
    return table;
}

} // namespace qel
