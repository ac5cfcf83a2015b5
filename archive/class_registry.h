// The classes an object list can stream: a table sorted by class name, each name with the
// means to create an instance and to read and write its data. The table lives from the
// first registration to the program's end and is empty unless something registers a class;
// this program registers none, so only empty lists stream unless a caller adds one here.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "base/object.h"
#include "base/stream.h"

namespace qel::archive {

// A class name takes one length byte in the stream, and no more than this many characters.
inline constexpr std::size_t MaxStreamClassName = 63;

struct tRegisterRec {
  std::string ClassName;
  // A new instance in its freshly constructed (zeroed) state.
  std::function<std::unique_ptr<base::TObject>()> Create;
  std::function<void(base::TObject& obj, base::TStream& stream)> Read;
  std::function<void(const base::TObject& obj, base::TStream& stream)> Write;
};

// Adds the class, or replaces the record of a class of the same name. Names compare
// without regard to ASCII letter case. A name that is empty or longer than
// MaxStreamClassName, or a record without its three functions, raises EFilerError.
void RegisterStreamClass(tRegisterRec rec);
// False when no such class was registered.
bool UnregisterStreamClass(std::string_view className);
// The record of the class, or nullptr.
const tRegisterRec* FindStreamClass(std::string_view className);

// Registers T under its own ClassName with the given reader and writer.
template <class T>
void RegisterStreamClassOf(std::function<void(T&, base::TStream&)> read,
                           std::function<void(const T&, base::TStream&)> write) {
  RegisterStreamClass({T().ClassName(), [] { return std::unique_ptr<base::TObject>(new T()); },
                       [read](base::TObject& obj, base::TStream& stream) { read(static_cast<T&>(obj), stream); },
                       [write](const base::TObject& obj, base::TStream& stream) {
                         write(static_cast<const T&>(obj), stream);
                       }});
}

}  // namespace qel::archive
