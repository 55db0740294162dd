#pragma once
#include <QObject>

#include <functional>

namespace dorv {

class Dataset;
class Field;

// Links windows to a dataset: the state and data-change events of the data-aware controls.
class DataSource final : public QObject {
    Q_OBJECT
public:
    DataSource(const QString& name, Dataset* dataset, QObject* parent = nullptr);
    ~DataSource() override;

    Dataset* dataset() const { return m_dataset; }
    const QString& name() const { return m_name; }

    // Handlers of the owner (the data module's rules); they run before the signals below.
    std::function<void(DataSource&)> onStateChange;
    std::function<void(DataSource&, Field*)> onDataChange;

    // Called by the dataset.
    void stateChange();
    void dataChange(Field* field);
    void datasetGone() { m_dataset = nullptr; }

signals:
    void stateChanged();
    void dataChanged(dorv::Field* field);

private:
    QString m_name;
    Dataset* m_dataset;
};

} // namespace dorv
