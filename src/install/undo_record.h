// The undo record: before a run changes anything, it notes in "uninst.dat" in the install
// folder what is needed to put back what stood there, so that a cancel, a killed run or the
// uninstaller can undo it. The record is text in the program's code page, one entry per line
// ending in "\r\n", fields separated by tabs; a byte below 32 and "%" inside a field are
// written as "%" and two hex digits.
//
//   UNDO <version> <company> <product> <install folder>       the first line
//   RUN <n> <time>                                           a run starts (n counts up from 1)
//   END <n>                                                  ... and has finished
//
// Entries of a run, each noted before its change is made (times are FILETIMEs in hex; a prior
// registry value is "-" for none, else "<type>:<hex bytes>"; a prior INI value "-" or "=text"):
//
//   P <path> <aside> <size> <time>  a file that may be written from time on; an installed one is
//                                   moved aside under the name <aside> first
//   N <path> <size> <time>          a file written where none stood (time: its last write)
//   R <path> <aside> <size> <time>  a file written over an installed one, kept at <aside>
//   Q <path>                        a file found current: left as it was
//   C <folder>                      a folder created
//   S <path> <prior>                the shared count of a file raised
//   G <path>                        a library whose DllRegisterServer was called
//   K <root> <key>                  a registry key created
//   V <root> <key> <name> <prior>   a registry value set (the default value: an empty name)
//   X <root> <key> {<name> <data>}  a key deleted, with every value it held (names as data of
//                                   type 0, so every field of the line is hex)
//   I <file> <section> <key> <prior> <file existed> <section existed>   an INI entry set
//   O <path>                        a file of the run's own (its setup log)
//
// and the one the uninstaller notes besides S, K, V, X and I while it removes a product (a
// cancel puts them back; files go only past the point of return):
//
//   U <path>                        a library whose DllUnregisterServer was called
//
// The record is untrusted bytes when it is read back: anyone who may write the install folder
// may have written it. The parser refuses, entry by entry, what is malformed or reaches beyond
// what such a record may touch.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr char kUndoRecordName[] = "uninst.dat";
constexpr int kUndoVersion = 1;
constexpr int kUndoPathChars = 260;

enum UndoKind : char {
  kUndoPending = 'P',
  kUndoNewFile = 'N',
  kUndoReplaced = 'R',
  kUndoCurrent = 'Q',
  kUndoFolder = 'C',
  kUndoShared = 'S',
  kUndoRegistered = 'G',
  kUndoKey = 'K',
  kUndoValue = 'V',
  kUndoKeyDeleted = 'X',
  kUndoIni = 'I',
  kUndoOwnFile = 'O',
  kUndoUnregistered = 'U',
};

// One line being built, in a buffer of its own; a line that does not fit is refused whole.
class UndoLine {
 public:
  explicit UndoLine(const char* tag);
  UndoLine& Text(const char* text);
  UndoLine& Number(int64_t value);
  UndoLine& Time(uint64_t fileTime);
  // "-" for no value (bytes null), else "<type>:<hex>".
  UndoLine& Data(uint32_t type, const void* bytes, size_t size);
  // "-" for no value (text null), else "=" and the text.
  UndoLine& Prior(const char* text);
  // The line with its "\r\n"; null when it did not fit.
  const char* Finish(size_t* length);

 private:
  void Put(const char* bytes, size_t n);
  void PutEscaped(const char* text);
  void Field();
  char text_[16384];
  size_t length_ = 0;
  bool fits_ = true;
};

// A parsed entry; the texts point into the record's buffer.
struct UndoEntry {
  char Kind;
  int32_t Run;
  int32_t Line;        // line number in the record, from 1
  const char* Path;    // the file, folder or INI file; the key path of K, V and X
  const char* Aside;   // P, R
  const char* Name;    // V: the value name; I: the section
  const char* Key;     // I: the key
  const char* Prior;   // S, V: "-" or "<type>:<hex>"; I: "-" or "=text"; X: the first value's name
  uint32_t Root;       // K, V, X
  int64_t Size;        // P, N, R
  uint64_t Time;       // P, N, R
  int32_t Flags;       // I: 1 the file existed, 2 the section existed; X: the number of values
};

// Where the reading program stands: the folders whose meaning a record cannot change.
struct UndoPlace {
  const char* Company;
  const char* Product;
  const char* InstallDir;    // the folder the record was found in
  const char* WindowsDir;
  const char* SystemDir;
  const char* LinkFolders[3];  // the Programs, Start menu and desktop folders (may be empty)
};

struct UndoRecord {
  char* Bytes;               // the record, its fields ended in place
  UndoEntry* Entries;
  int32_t Count;
  int32_t LastRun;           // the number of the last run, 0 when none
  int32_t OpenRun;           // the last run when it has no END line, else 0
  size_t OpenRunOffset;      // where the open run's RUN line starts
  uint64_t OpenRunTime;
  int32_t Refused;           // entries refused
};

// Told of each refused line: its number and why.
typedef void (*UndoRefusal)(void* context, int32_t line, const char* reason);

// Parses a record of size bytes (taken over: freed by FreeUndoRecord, also on failure). A
// trusted record is one this process wrote and holds in memory: only its form is checked. An
// untrusted one is held to what a record may touch (see the README's "Undo record"). 0 when
// the record is refused whole: not an undo record, or one of another product or folder.
int ParseUndoRecord(char* bytes, size_t size, const UndoPlace& place, int trusted, UndoRecord* record,
                    UndoRefusal refuse, void* context);
void FreeUndoRecord(UndoRecord* record);

// 1 when the record's last line ends its last run ("END" with the number of the last "RUN"
// line, as written): no run is open, and the record need not be parsed to know it. 0 means
// only that the parse must tell.
int UndoRecordEndsClosed(const char* bytes, size_t size);

// The first line of a new record; 0 when it does not fit.
size_t UndoHeaderN(char* out, size_t cap, const char* company, const char* product, const char* installDir);

// Registry data as a record holds it: "-" is none (*present 0); "<type>:<hex>" is decoded into
// out (capacity cap). 0 when malformed or too long.
int DecodeUndoData(const char* text, uint32_t* type, unsigned char* out, size_t cap, size_t* size, int* present);
// Value index (0 to entry.Flags - 1) of an X entry: its name and its data, both as
// DecodeUndoData reads them (the name is data of type 0). 0 past the last value.
int DeletedValueAt(const UndoEntry& entry, int32_t index, const char** name, const char** data);

// Files over every finished run, for the uninstaller: for each N and R entry, the index of the
// newest N or R entry of the same path (Newest), and whether it is the oldest one (Oldest: the
// place where the uninstaller decides about the file). Arrays of record.Count; 0 without memory.
int FoldFileEntries(const UndoRecord& record, int32_t* newest, unsigned char* oldest);

// Path rules, as Windows compares names.
int SamePath(const char* a, const char* b);
// 1 when path lies below folder (not the folder itself).
int IsBelow(const char* path, const char* folder);
// 1 for an absolute path in plain form: "X:\..." or "\\server\share\...", no empty, "." or ".."
// part, no character Windows refuses in a name, no device name, no part ending in a dot or a
// blank, shorter than 260 characters.
int IsPlainPath(const char* path);

// The name an installed file waits under while it is replaced or removed: in its folder, "stp",
// eight hex digits of the path and the variant, ".old" (or "~" and the digits where that does
// not fit). 0 when none fits.
int AsidePathForN(char* out, size_t cap, const char* target, uint32_t variant);
template <size_t N> int AsidePathFor(char (&out)[N], const char* target, uint32_t variant) {
  return AsidePathForN(out, N, target, variant);
}
// The number behind an aside name: two targets of one folder with the same number would share it.
uint32_t AsideHash(const char* target, uint32_t variant);
// 1 when aside has the form of such a name in the folder of target.
int IsAsidePathOf(const char* aside, const char* target);
