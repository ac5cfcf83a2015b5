// Identifiers of the stream messages in the library string table "S_Stream".
#pragma once

#include <cstdint>

namespace qel::archive {

// The table name the buffered streams look their messages up by.
inline constexpr char StreamTableName[] = "S_Stream";

namespace stream_message {
inline constexpr std::int16_t SeekError = 1;
inline constexpr std::int16_t InvalidSeekOrigin = 2;  // a pattern with one %d: the origin
inline constexpr std::int16_t PutbackOverflow = 3;
// The resource-stream messages travel with the table for the readers that expect them.
inline constexpr std::int16_t ResourceNotFound = 4;
inline constexpr std::int16_t ResourceNotAccessible = 5;
inline constexpr std::int16_t SeekPastResourceEnd = 6;
inline constexpr std::int16_t ResourceNotWritable = 7;
}  // namespace stream_message

}  // namespace qel::archive
