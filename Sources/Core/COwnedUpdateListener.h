#pragma once

#include "Core/CUpdateListener.h"

namespace qel {

// A listener member of an owner class that forwards notifications to one of the owner's methods.
// Declare it after the members the handler uses, so that it detaches before they are destroyed.
template <class T>
class COwnedUpdateListener : public CUpdateListener {
public:
    using Handler = void (T::*)(const SUpdateRecord* record, const SUpdateEntry& entry);

    COwnedUpdateListener(T* owner, Handler handler) : m_owner(owner), m_handler(handler) {}
    // The base destructor would detach only after onUpdate stopped being callable.
    ~COwnedUpdateListener() override { detach(); }

    T* owner() const { return m_owner; }

protected:
    void onUpdate(const SUpdateRecord* record, const SUpdateEntry& entry) override {
        (m_owner->*m_handler)(record, entry);
    }

private:
    T* m_owner;
    Handler m_handler;
};

} // namespace qel
