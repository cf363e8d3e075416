#pragma once
// The failure that no handler catches itself: it ends the handler where it
// occurs and reaches the failure report with its message, given without the
// closing full stop. The cipher engine and the editor's libraries throw it.

#include <stdexcept>

namespace mus {

class Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace mus
