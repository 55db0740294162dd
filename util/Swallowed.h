#pragma once

namespace dorv {

// Notes in the log the exception being handled, which the caller goes on without on purpose (a
// secondary step that may fail quietly, a clean-up after a failure already told). Call it inside
// the catch block; it never throws.
void noteSwallowed(const char* where) noexcept;

} // namespace dorv
