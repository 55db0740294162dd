#include "DataSource.h"

#include "Dataset.h"

namespace dorv {

DataSource::DataSource(const QString& name, Dataset* dataset, QObject* parent)
    : QObject(parent), m_name(name), m_dataset(dataset)
{
    setObjectName(name);
    if (m_dataset)
        m_dataset->attach(this);
}

DataSource::~DataSource()
{
    if (m_dataset)
        m_dataset->detach(this);
}

void DataSource::stateChange()
{
    if (onStateChange)
        onStateChange(*this);
    emit stateChanged();
}

void DataSource::dataChange(Field* field)
{
    if (onDataChange)
        onDataChange(*this, field);
    emit dataChanged(field);
}

} // namespace dorv
