# Turns the IEEE registries of address blocks into the engine's vendor table:
#   cmake -DIEEE_DATA_DIR=<dir> -DOUTPUT=<file> -P CorvaleVendorTable.cmake
# Reads oui.csv (MA-L, 24-bit blocks), mam.csv (MA-M, 28-bit), oui36.csv
# (MA-S, 36-bit) and iab.csv (the old 36-bit IAB blocks) as Debian's ieee-data
# ships them, and writes C++ definitions:
#   kVendorPool        every distinct owner name once, back to back (UTF-8
#                      bytes, one line per name)
#   kVendor<bits>Keys  the sorted block prefixes of one width (24, 28, 36)
#   kVendor<bits>Names for each key, {offset, length} of its name in the pool
#   kVendorParents     the sorted 24-bit prefixes that hold smaller blocks:
#                      the only ones worth searching the 28- and 36-bit keys for
# A CMake script rather than a host program: it runs wherever CMake does,
# the Windows cross-build included, with nothing to build first.
#
# Owners are the registry's "Organization Name", trimmed (of Unicode spaces
# too), with the two HTML
# entities the registry leaves in some names (&amp; &quot;) decoded. "Private"
# blocks stay: the owner asked not to be named, and dropping them would let
# the enclosing MA-L block (IEEE Registration Authority) answer instead. A
# block listed twice keeps the alphabetically first name, so the table does
# not depend on the files' order.
cmake_minimum_required(VERSION 3.25)

if(NOT IEEE_DATA_DIR OR NOT OUTPUT)
  message(FATAL_ERROR "usage: cmake -DIEEE_DATA_DIR=<dir> -DOUTPUT=<file> -P ${CMAKE_CURRENT_LIST_FILE}")
endif()

# Characters that CMake's lists would take apart (the separator, and brackets
# that stop it splitting) travel as control characters until the output.
string(ASCII 1 semicolon)
string(ASCII 2 open_bracket)
string(ASCII 3 close_bracket)
string(ASCII 31 separator)
# Spaces beyond ASCII that some names end in: U+00A0 and U+2000 to U+200A.
string(ASCII 194 160 no_break_space)
string(ASCII 226 128 general_punctuation)
string(ASCII 128 first_space)
string(ASCII 138 last_space)
set(wide_space "${no_break_space}|${general_punctuation}[${first_space}-${last_space}]")

set(widths 24 28 36)
foreach(width IN LISTS widths)
  set(entries_${width} "")
endforeach()

# Collects entries in chunks: appending to one long list copies it each time.
macro(flush_chunk width)
  list(APPEND entries_${width} ${chunk_${width}})
  set(chunk_${width} "")
  set(chunk_size_${width} 0)
endmacro()

foreach(registry oui.csv mam.csv oui36.csv iab.csv)
  set(path "${IEEE_DATA_DIR}/${registry}")
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "${path} is missing (Debian package ieee-data)")
  endif()
  file(READ "${path}" text)
  string(REPLACE "\r" "" text "${text}")
  string(REPLACE ";" "${semicolon}" text "${text}")
  string(REPLACE "[" "${open_bracket}" text "${text}")
  string(REPLACE "]" "${close_bracket}" text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  foreach(width IN LISTS widths)
    set(chunk_${width} "")
    set(chunk_size_${width} 0)
  endforeach()

  # A record ends at a line break outside quotes: while its quotes are
  # unbalanced, a quoted field goes on in the next line.
  set(record "")
  set(open 0)
  foreach(line IN LISTS lines)
    if(record STREQUAL "")
      set(record "${line}")
    else()
      string(APPEND record "\n${line}")
    endif()
    string(FIND "${line}" "\"" quote_at)
    if(NOT quote_at EQUAL -1)
      string(LENGTH "${line}" with_quotes)
      string(REPLACE "\"" "" unquoted "${line}")
      string(LENGTH "${unquoted}" without_quotes)
      math(EXPR open "(${open} + ${with_quotes} - ${without_quotes}) % 2")
    endif()
    if(open)
      continue()
    endif()
    if(record STREQUAL "" OR record MATCHES "^Registry,Assignment,")
      set(record "")
      continue()
    endif()
    if(NOT record MATCHES "^[^,\"]*,([0-9A-Fa-f]+),(\"([^\"]|\"\")*\"|[^,\"]*)(,|$)")
      message(FATAL_ERROR "${path}: not a registry record: ${record}")
    endif()
    set(record "")
    string(TOUPPER "${CMAKE_MATCH_1}" key)
    set(name "${CMAKE_MATCH_2}")
    string(LENGTH "${key}" digits)
    if(digits EQUAL 6)
      set(width 24)
    elseif(digits EQUAL 7)
      set(width 28)
    elseif(digits EQUAL 9)
      set(width 36)
    else()
      message(FATAL_ERROR "${path}: a block of ${digits} hex digits: ${key}")
    endif()
    if(name MATCHES "^\"(.*)\"$")
      string(REPLACE "\"\"" "\"" name "${CMAKE_MATCH_1}")
    endif()
    string(REPLACE "&quot${semicolon}" "\"" name "${name}")
    string(REPLACE "&amp${semicolon}" "&" name "${name}")
    string(STRIP "${name}" name)
    if(name MATCHES "${no_break_space}|${general_punctuation}")
      string(REGEX REPLACE "^([ \t\n]|${wide_space})+" "" name "${name}")
      string(REGEX REPLACE "([ \t\n]|${wide_space})+$" "" name "${name}")
    endif()
    if(name STREQUAL "")
      continue()
    endif()
    list(APPEND chunk_${width} "${key}${separator}${name}")
    math(EXPR chunk_size_${width} "${chunk_size_${width}} + 1")
    if(chunk_size_${width} EQUAL 500)
      flush_chunk(${width})
    endif()
  endforeach()
  if(NOT record STREQUAL "")
    message(FATAL_ERROR "${path}: ends inside a quoted field")
  endif()
  foreach(width IN LISTS widths)
    flush_chunk(${width})
  endforeach()
endforeach()

set(pool "")
set(pool_chunk "")
set(pool_size 0)
set(tables "")
set(parents "")
foreach(width IN LISTS widths)
  list(LENGTH entries_${width} count)
  if(count EQUAL 0)
    message(FATAL_ERROR "no ${width}-bit blocks in ${IEEE_DATA_DIR}")
  endif()
  list(SORT entries_${width})
  math(EXPR digits "${width} / 4")
  if(width GREATER 32)
    set(key_type "std::uint64_t")
  else()
    set(key_type "std::uint32_t")
  endif()
  set(keys "")
  set(names "")
  set(keys_chunk "")
  set(names_chunk "")
  set(previous "")
  set(emitted 0)
  set(parents_chunk "")
  set(previous_parent "")
  foreach(entry IN LISTS entries_${width})
    string(SUBSTRING "${entry}" 0 ${digits} key)
    if(key STREQUAL previous)
      continue()
    endif()
    set(previous "${key}")
    if(width GREATER 24)
      # Keys are sorted: a parent's blocks come one after another.
      string(SUBSTRING "${key}" 0 6 parent)
      if(NOT parent STREQUAL previous_parent)
        list(APPEND parents_chunk "0x${parent}")
        set(previous_parent "${parent}")
      endif()
    endif()
    math(EXPR name_at "${digits} + 1")
    string(SUBSTRING "${entry}" ${name_at} -1 name)
    string(REPLACE "${semicolon}" ";" name "${name}")
    string(REPLACE "${open_bracket}" "[" name "${name}")
    string(REPLACE "${close_bracket}" "]" name "${name}")
    string(MD5 id "${name}")
    if(NOT DEFINED offset_${id})
      string(LENGTH "${name}" length)
      if(length GREATER 255)
        message(FATAL_ERROR "an owner name of ${length} bytes: ${name}")
      endif()
      set(offset_${id} ${pool_size})
      set(length_${id} ${length})
      math(EXPR pool_size "${pool_size} + ${length}")
      # As numbers, not a string literal: MSVC takes no literal over 64 KB,
      # and reads a source's UTF-8 in the system's code page unless told.
      string(HEX "${name}" hex)
      string(REGEX REPLACE "(..)" "0x\\1," bytes "${hex}")
      string(APPEND pool_chunk "${bytes}\n")
    endif()
    string(APPEND keys_chunk "0x${key},")
    string(APPEND names_chunk "{${offset_${id}},${length_${id}}},")
    math(EXPR emitted "${emitted} + 1")
    math(EXPR end_of_line "${emitted} % 8")
    if(end_of_line EQUAL 0)
      string(APPEND keys_chunk "\n")
      string(APPEND names_chunk "\n")
    endif()
    math(EXPR flush "${emitted} % 400")
    if(flush EQUAL 0)
      string(APPEND keys "${keys_chunk}")
      string(APPEND names "${names_chunk}")
      string(APPEND pool "${pool_chunk}")
      set(keys_chunk "")
      set(names_chunk "")
      set(pool_chunk "")
    endif()
  endforeach()
  string(APPEND pool "${pool_chunk}")
  set(pool_chunk "")
  string(APPEND tables "
// ${emitted} ${width}-bit blocks.
constexpr ${key_type} kVendor${width}Keys[] = {
${keys}${keys_chunk}};
constexpr VendorNameRef kVendor${width}Names[] = {
${names}${names_chunk}};
")
  list(APPEND parents ${parents_chunk})
  message(STATUS "Vendor table: ${emitted} ${width}-bit blocks")
endforeach()
list(REMOVE_DUPLICATES parents)
list(SORT parents)
list(LENGTH parents count)
list(JOIN parents "," parents)
string(APPEND tables "
// ${count} 24-bit prefixes with smaller blocks in them.
constexpr std::uint32_t kVendorParents[] = {${parents}};
")
if(pool_size GREATER_EQUAL 16777216)
  message(FATAL_ERROR "the owner names take ${pool_size} bytes, more than an offset can reach")
endif()

file(WRITE "${OUTPUT}.tmp" "// Generated by cmake/CorvaleVendorTable.cmake from the IEEE registries in
// ${IEEE_DATA_DIR}; do not edit.

// ${pool_size} bytes of distinct owner names.
constexpr unsigned char kVendorPool[] = {
${pool}};
${tables}")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
