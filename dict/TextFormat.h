// The dictionary text file: one place for the markers that the loader looks
// for and the writer produces, and for the loader's messages.
//
// A file is a header line, then for each record a record marker line
// ("\r\nmirok_res_No." and the record's number), then three sections, each a
// start marker line, the text, CR LF and an end marker line; then the
// terminator. Markers are found by a plain search for their exact bytes; the
// two bytes in front of an end marker close the text and are not part of it.
#pragma once

#include <cstddef>

namespace textformat {

struct Marker {
    const char* bytes;
    size_t length;
};

template <size_t N>
constexpr Marker MakeMarker(const char (&text)[N]) {
    return Marker{text, N - 1};
}

// The record marker includes the line break in front of the marker word, so a
// marker word at the very first byte of a file begins no record.
constexpr Marker kRecord = MakeMarker("\r\nmirok_res_No.");
constexpr Marker kEngStart = MakeMarker("mirok_res_ENG_Start\r\n");
constexpr Marker kEngEnd = MakeMarker("mirok_res_ENG_End\r\n");
constexpr Marker kChiStart = MakeMarker("mirok_res_CHI_Start\r\n");
constexpr Marker kChiEnd = MakeMarker("mirok_res_CHI_End\r\n");
constexpr Marker kRemarkStart = MakeMarker("mirok_res_Remark00_Start\r\n");
constexpr Marker kRemarkEnd = MakeMarker("mirok_res_Remark00_End\r\n");
constexpr Marker kTerminator = MakeMarker("\r\n\r\n\r\nmirok_res_All_End\r\n");
// The line break that closes every text in front of its end marker.
constexpr Marker kTextEnd = MakeMarker("\r\n");

// What the writer puts in front of the records: label, then the local time of
// writing (UTC+8) as year, month, day, hour, minute, second.
constexpr char kHeaderFormat[] =
    "Veskaloran VKCStringDict::SaveToTXTFileA %s %04d-%02d-%02d %02d:%02d:%02d\r\n\r\n\r\n";
constexpr char kFormatLabel[] = "Ver.0.19";
constexpr char kRecordNumberFormat[] = "\r\nmirok_res_No.%08d\r\n";
// Digits of a written record number: kRecordNumberFormat pads to eight, and
// the writer never numbers a record beyond them.
constexpr size_t kRecordNumberDigits = 8;

// The fixed bytes of one written record: its number line (with the line break
// in front of it), six marker lines and three text-closing line breaks. A
// record whose three texts hold T bytes together takes kFixedRecordBytes + T.
constexpr size_t kFixedRecordBytes = kRecord.length + kRecordNumberDigits + kTextEnd.length +
                                     kEngStart.length + kTextEnd.length + kEngEnd.length +
                                     kChiStart.length + kTextEnd.length + kChiEnd.length +
                                     kRemarkStart.length + kTextEnd.length + kRemarkEnd.length;
static_assert(kFixedRecordBytes == 161, "a written record's fixed part is 161 bytes");

// Upper bound on any size the loaders accept, in bytes.
constexpr unsigned kMaxDataSize = 200000000u;

// The loader's messages for a broken record, in GBK; %d is the record's index
// among the records of the load, from 0. Indexed by the section and side
// whose marker is missing: ENG start, ENG end, CHI start, CHI end, Remark00
// start, Remark00 end.
constexpr const char* kMissingMarkerMessages[6] = {
    // "ENG section start marker not found, in resource %d"
    "\xC3\xBB\xD3\xD0\xD5\xD2\xB5\xBD ENG "
    "\xB6\xCE\xC6\xF0\xCA\xBC\xB9\xD8\xBC\xFC\xD7\xD6\xA3\xAC\xB5\xDA%d\xB8\xF6\xD7\xCA\xD4\xB4",
    // "ENG section end marker not found, in resource %d"
    "\xC3\xBB\xD3\xD0\xD5\xD2\xB5\xBD ENG "
    "\xB6\xCE\xBD\xE1\xCA\xF8\xB9\xD8\xBC\xFC\xD7\xD6\xA3\xAC\xB5\xDA%d\xB8\xF6\xD7\xCA\xD4\xB4",
    // "CHI section start marker not found, in resource %d"
    "\xC3\xBB\xD3\xD0\xD5\xD2\xB5\xBD CHI "
    "\xB6\xCE\xC6\xF0\xCA\xBC\xB9\xD8\xBC\xFC\xD7\xD6\xA3\xAC\xB5\xDA%d\xB8\xF6\xD7\xCA\xD4\xB4",
    // "CHI section end marker not found, in resource %d"
    "\xC3\xBB\xD3\xD0\xD5\xD2\xB5\xBD CHI "
    "\xB6\xCE\xBD\xE1\xCA\xF8\xB9\xD8\xBC\xFC\xD7\xD6\xA3\xAC\xB5\xDA%d\xB8\xF6\xD7\xCA\xD4\xB4",
    // "Remark00 section start marker not found, in resource %d"
    "\xC3\xBB\xD3\xD0\xD5\xD2\xB5\xBD Remark00 "
    "\xB6\xCE\xC6\xF0\xCA\xBC\xB9\xD8\xBC\xFC\xD7\xD6\xA3\xAC\xB5\xDA%d\xB8\xF6\xD7\xCA\xD4\xB4",
    // "Remark00 section end marker not found, in resource %d"
    "\xC3\xBB\xD3\xD0\xD5\xD2\xB5\xBD Remark00 "
    "\xB6\xCE\xBD\xE1\xCA\xF8\xB9\xD8\xBC\xFC\xD7\xD6\xA3\xAC\xB5\xDA%d\xB8\xF6\xD7\xCA\xD4\xB4",
};

}  // namespace textformat
