#pragma once

#include "Other/CParamInterfaceClientConnector.h"

namespace qel {

class CParamInterfaceBaseConnectorUni;
class CTimerQueued;

// "other:param-interface-client-connector-uni": a client connector in the same process as its base.
// Connects when initialised (the user-interface root's "BaseConnectorRootPtr" leads to the audio
// side's tree) and polls its queue at "fps" through a "timer" child made from "timer-tag".
class CParamInterfaceClientConnectorUni : public CParamInterfaceClientConnector {
public:
    ~CParamInterfaceClientConnectorUni() override;

    CError* initContent() override;
    void detachFromParent() override;

    CError* sendToBase(const CByteBuffer& message) override;

    // Moves the queued messages into the pending list and has them handled; run on every timer tick.
    void poll();
    // The base connector went away before this client.
    void onBaseConnectorGone();

    static void initClass(CClassRecord& record);

private:
    CError* onFps(const CAttrValue& value);
    void disconnect();

    CParamInterfaceBaseConnectorUni* m_base = nullptr;
    CTimerQueued* m_timer = nullptr;
};

} // namespace qel
