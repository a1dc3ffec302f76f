#pragma once

#include "host/status.h"

#include <span>
#include <vector>

class THTMLTable;

/// The table's options as a property stream (the format is described at the top of
/// component_stream.cpp and in docs/table-stream.md): the table's properties, then its six
/// columns, each with its properties and its 76-byte font record. Every property is written,
/// defaults too, so reading the stream into any table gives the same options.
std::vector<unsigned char> WriteComponentStream(const THTMLTable& Table);

/// Reads a stream of WriteComponentStream into the existing Table and its columns in order.
/// Properties it does not know, values of the wrong kind and enumeration names it does not know
/// are skipped, so older programs read newer streams. A damaged stream (bad signature, unknown
/// value kind, a length past the end, a wrong class) stops the reading with an error; what was
/// read until then stays in Table, the rest keeps its values. Never reads outside Stream.
TStatus ReadComponentStream(THTMLTable& Table, std::span<const unsigned char> Stream);
