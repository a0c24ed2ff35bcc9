#pragma once

#include <functional>

// A store of the user's traces that the cleaner empties and that says when it is done (the
// history database): `done` gets whether it really is empty now.
class ClearableStore
{
public:
    virtual ~ClearableStore() = default;
    virtual void clearStore(std::function<void(bool ok)> done) = 0;
};
