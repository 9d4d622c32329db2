// SharedLibrary: a system library opened when it is first needed rather than
// when the program starts, and LazyLibrary, a table of its functions loaded
// once. cairo and ICU, with the thirty libraries they pull in, take longer
// to map and bind than a map takes to draw, and most commands use one of
// them or neither. A SharedLibrary owns the loader's handle (the library
// itself stays loaded once opened); a LazyLibrary owns its table, and is
// meant to be a static.
#pragma once

#include "platform/Error.h"
#include "platform/Log.h"

#include <mutex>
#include <optional>
#include <string>

namespace platform {

class SharedLibrary {
public:
    // The library by its file name ("libcairo.so.2"), found as the loader
    // finds the libraries a program is linked with.
    static ErrorOr<SharedLibrary> open(const std::string& fileName);

    SharedLibrary(SharedLibrary&& other) noexcept;
    SharedLibrary& operator=(SharedLibrary&& other) noexcept;
    ~SharedLibrary();

    // Sets `slot` to the function `name`, or says that the library lacks it.
    template<class F> ErrorOr<void> bind(F& slot, const char* name) const
    {
        void* address = find(name);
        if (!address)
            return missing(name);
        slot = reinterpret_cast<F>(address);
        return {};
    }

private:
    SharedLibrary(void* handle, std::string fileName);
    void* find(const char* name) const;
    Error missing(const char* name) const;

    void* handle_ = nullptr;
    std::string fileName_;
};

// `Table` holds its SharedLibrary and the functions bound from it; `load`
// opens the one and binds the other, on the first call of get(). A failure
// is logged once, with its reason, and the table is then absent for the
// rest of the process.
template<class Table> class LazyLibrary {
public:
    using Load = ErrorOr<Table> (*)();

    explicit LazyLibrary(Load load)
        : load_(load)
    {
    }

    // Null when the library cannot be loaded.
    const Table* get()
    {
        std::call_once(loaded_, [this] {
            ErrorOr<Table> table = load_();
            if (table)
                table_.emplace(std::move(*table));
            else
                log("gloam: " + table.error().message());
        });
        return table_ ? &*table_ : nullptr;
    }

private:
    Load load_;
    std::once_flag loaded_;
    std::optional<Table> table_;
};

// Defines `const Table* accessor()`, which loads `Table` from `fileName` on
// its first call: every function that the list macro `FUNCTIONS` names
// (X(name) for each) bound into the field of that name, under the name as
// the library's header spells it once its own macros have renamed it (ICU
// adds its version: ucal_open is ucal_open_72). Use inside namespace
// platform.
#define GLOAM_LAZY_LIBRARY(Table, accessor, fileName, FUNCTIONS)                                   \
    const Table* accessor()                                                                        \
    {                                                                                              \
        static LazyLibrary<Table> lazy([]() -> ErrorOr<Table> {                                    \
            ErrorOr<SharedLibrary> library = SharedLibrary::open(fileName);                        \
            if (!library)                                                                          \
                return library.error();                                                            \
            Table table {std::move(*library)};                                                     \
            FUNCTIONS(GLOAM_BIND_ONE)                                                              \
            return table;                                                                          \
        });                                                                                        \
        return lazy.get();                                                                         \
    }
#define GLOAM_BIND_ONE(name)                                                                       \
    if (auto bound = table.library.bind(table.name, GLOAM_SYMBOL(name)); !bound)                   \
        return bound.error();
#define GLOAM_SYMBOL(name) GLOAM_SYMBOL_TEXT(name)
#define GLOAM_SYMBOL_TEXT(name) #name

} // namespace platform
