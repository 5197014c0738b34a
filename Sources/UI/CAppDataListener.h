#pragma once

#include "Core/COwnedUpdateListener.h"
#include "UI/CAppData.h"

namespace qel {

// Watches one entry of an application data store for its owner. Changes the owner made itself (it
// passed itself as the source of the write) are not forwarded, so an editor that saves an entry is not
// told to reload what it just wrote, while every other editor is.
template <class T>
class CAppDataListener : public COwnedUpdateListener<T> {
public:
    using typename COwnedUpdateListener<T>::Handler;
    using CUpdateListener::attach;

    CAppDataListener(T* owner, Handler handler) : COwnedUpdateListener<T>(owner, handler) {}

    void attach(CAppData* store, const CString& name) {
        if (store)
            attach(store, store->key(name));
        else
            CUpdateListener::detach();
    }

protected:
    void onUpdate(const SUpdateRecord* record, const SUpdateEntry& entry) override {
        if (record && record->kind == SAppDataUpdate::kKind &&
            static_cast<const SAppDataUpdate*>(record)->source == this->owner())
            return;
        COwnedUpdateListener<T>::onUpdate(record, entry);
    }
};

} // namespace qel
