#pragma once

// The marker codes of a JPEG stream, named once so that the decoder, filmtool's check of the
// pictures it takes and the tests that write streams by hand all read as what they mean. A marker
// is kPrefix followed by one code byte; codes without a comment of "no segment" start a segment
// whose 16-bit length follows them.
namespace lumafolio::jpeg_marker {

inline constexpr int kPrefix = 0xFF;   // starts every marker; a second one before a code is fill
inline constexpr int kStuffed = 0x00;  // after kPrefix in scan data: a data byte 0xFF, no marker

// Frame headers (SOFn): the code says how the picture is coded. The player reads kSof0 only.
inline constexpr int kSof0 = 0xC0;   // baseline sequential, Huffman, 8-bit samples
inline constexpr int kSof1 = 0xC1;   // extended sequential, Huffman (12-bit, four tables a kind)
inline constexpr int kSof2 = 0xC2;   // progressive, Huffman
inline constexpr int kSof3 = 0xC3;   // lossless, Huffman
inline constexpr int kDht = 0xC4;    // Huffman tables
inline constexpr int kSof5 = 0xC5;   // hierarchical: differential sequential, Huffman
inline constexpr int kSof6 = 0xC6;   // hierarchical: differential progressive, Huffman
inline constexpr int kSof7 = 0xC7;   // hierarchical: differential lossless, Huffman
inline constexpr int kJpg = 0xC8;    // reserved for extensions; never a frame
inline constexpr int kSof9 = 0xC9;   // extended sequential, arithmetic
inline constexpr int kSof10 = 0xCA;  // progressive, arithmetic
inline constexpr int kSof11 = 0xCB;  // lossless, arithmetic
inline constexpr int kDac = 0xCC;    // arithmetic coding conditioning tables
inline constexpr int kSof13 = 0xCD;  // hierarchical: differential sequential, arithmetic
inline constexpr int kSof14 = 0xCE;  // hierarchical: differential progressive, arithmetic
inline constexpr int kSof15 = 0xCF;  // hierarchical: differential lossless, arithmetic

inline constexpr int kRst0 = 0xD0;  // restart markers RST0 to RST7 between restart intervals of
inline constexpr int kRst7 = 0xD7;  // the scan data, numbered modulo 8; no segment
inline constexpr int kSoi = 0xD8;   // start of image; no segment
inline constexpr int kEoi = 0xD9;   // end of image; no segment
inline constexpr int kSos = 0xDA;   // start of scan: its header, then the entropy-coded data
inline constexpr int kDqt = 0xDB;   // quantisation tables
inline constexpr int kDnl = 0xDC;   // number of lines, for frames that left their height open
inline constexpr int kDri = 0xDD;   // restart interval, in MCUs
inline constexpr int kDhp = 0xDE;   // hierarchical progression
inline constexpr int kExp = 0xDF;   // expand reference components (hierarchical)

inline constexpr int kApp0 = 0xE0;   // APP0 to APP15: application data; APP0 holds JFIF,
inline constexpr int kApp1 = 0xE1;   // APP1 Exif,
inline constexpr int kApp14 = 0xEE;  // APP14 Adobe's colour transform
inline constexpr int kApp15 = 0xEF;
inline constexpr int kCom = 0xFE;  // a comment

constexpr bool IsRst(int code) { return code >= kRst0 && code <= kRst7; }
constexpr bool IsApp(int code) { return code >= kApp0 && code <= kApp15; }

}  // namespace lumafolio::jpeg_marker
