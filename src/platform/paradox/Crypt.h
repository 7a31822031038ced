#pragma once

// Undoing the scrambling of encrypted tables. Only the low 16 bits of the
// stored key take part, so no password is needed.

#include <array>
#include <cstddef>
#include <cstdint>

namespace paradox::crypt {

constexpr std::size_t ChunkSize = 256;

// The three fixed tables of the cipher.
const std::array<std::uint8_t, 256>& tableA();
const std::array<std::uint8_t, 256>& tableB();
const std::array<std::uint8_t, 256>& tableC();

// Decrypts one 256-byte chunk in place with the parameters (a, b, c, d).
void decryptChunk(std::uint8_t* chunk, std::uint8_t a, std::uint8_t b, std::uint8_t c,
                  std::uint8_t d);

// Decrypts the first `chunks` chunks of data block `blockNumber` in place.
void decryptBlock(std::uint8_t* block, std::size_t chunks, std::uint32_t key, unsigned blockNumber);

// Decrypts whole chunks of a memo file in place; the data must start on a
// 256-byte boundary of the file.
void decryptMemo(std::uint8_t* data, std::size_t chunks, std::uint32_t key);

} // namespace paradox::crypt
