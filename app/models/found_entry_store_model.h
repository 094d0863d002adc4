#pragma once

#include "app/models/found_entry_store.h"

#include <QObject>

// What the item models over the entry store share: they watch the store for their whole life,
// and its resets are model resets. Each model adds what it does when entries arrive or change.
// QtModel is the Qt model class the model builds on (a table, or a tree).
template <class QtModel>
class FoundEntryStoreModel : public QtModel, private FoundEntryStore::Observer {
public:
    const FoundEntryStore& Store() const { return m_store; }

protected:
    FoundEntryStoreModel(FoundEntryStore& store, QObject* parent)
        : QtModel(parent), m_store(store) {
        m_store.AddObserver(this);
    }
    ~FoundEntryStoreModel() override { m_store.RemoveObserver(this); }

    void AboutToReset() override { this->beginResetModel(); }
    void ResetDone() override { this->endResetModel(); }
    // Rows go in when the entry is kept (Added), unless a model places them before.
    void AboutToAdd(const FoundEntryStore::AddPlan&) override {}

    FoundEntryStore& m_store;
};
