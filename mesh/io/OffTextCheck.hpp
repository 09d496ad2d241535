#pragma once
// A pass over the text body of an OFF file, made before CGAL's OFF scanner
// reads it, that rejects the records on which the scanner would convert a
// number outside the range of its integer type or read past a line's numbers.

#include <CGAL/IO/OFF/File_header_OFF.h>

#include <istream>
#include <string>

namespace vornel {

/// Reads the vertex and facet records of a text OFF file from in, which stands
/// right after the header, exactly as the scanner will split them (comments
/// skipped, one line per record, numbers read by the same stream extraction).
/// Throws InvalidInputError naming path and the record for: a vertex line with
/// too few coordinates, a coordinate that is not a finite number, or a colour
/// that is missing or out of range (COFF), a facet line whose corner count is
/// below three, not a count or fractional, that lists fewer corners than its
/// count, or whose corner is not a vertex number (fractional ones included).
/// Binary files hold no such conversions and are not looked at.
void checkOffText(std::istream& in, const CGAL::File_header_OFF& header, const std::string& path);

} // namespace vornel
