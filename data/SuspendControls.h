#pragma once
#include "Dataset.h"
#include "util/Swallowed.h"

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
            // A view that fails to follow says so itself when next shown; a destructor may not throw.
            noteSwallowed("showing a dataset again");
        }
    }
    SuspendControls(const SuspendControls&) = delete;
    SuspendControls& operator=(const SuspendControls&) = delete;

private:
    Dataset& m_dataset;
};

} // namespace dorv
