#pragma once
#include "Dataset.h"

namespace dorv {

// Display updates of a dataset stay off for a block and come back however it is left. Coming back
// tells every view and data source at once; whatever they raise then is theirs to report, never a
// reason to end the program from a destructor.
class SuspendControls final {
public:
    explicit SuspendControls(Dataset& dataset) : m_dataset(dataset) { m_dataset.disableControls(); }
    ~SuspendControls()
    {
        try {
            m_dataset.enableControls();
        } catch (...) {
        }
    }
    SuspendControls(const SuspendControls&) = delete;
    SuspendControls& operator=(const SuspendControls&) = delete;

private:
    Dataset& m_dataset;
};

} // namespace dorv
