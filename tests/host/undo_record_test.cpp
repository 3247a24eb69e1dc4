// The undo record as bytes: lines built and read back, runs, the fold of the uninstaller, and a
// record that someone else wrote (damaged, of another product, or made to reach beyond what a
// record may touch), refused entry by entry.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "install/undo_record.h"

namespace {

const UndoPlace kPlace = {"Firma", "Produkt", "C:\\Programme\\Produkt", "C:\\Windows", "C:\\Windows\\system32",
                          {"C:\\Users\\Anna\\Start Menu\\Programs", "C:\\Users\\Anna\\Start Menu", "C:\\Users\\Anna\\Desktop"}};

std::string Line(UndoLine& line) {
  size_t length = 0;
  const char* text = line.Finish(&length);
  return text ? std::string(text, length) : "(too long)";
}

std::string Header(const char* dir = "C:\\Programme\\Produkt") {
  char header[1024];
  size_t n = UndoHeaderN(header, sizeof header, "Firma", "Produkt", dir);
  return std::string(header, n);
}

struct Parsed {
  int Good = 0;
  UndoRecord Record{};
  std::vector<std::string> Refused;  // "line: reason"
  ~Parsed() { FreeUndoRecord(&Record); }
};

void Collect(void* context, int32_t line, const char* reason) {
  static_cast<Parsed*>(context)->Refused.push_back(std::to_string(line) + ": " + reason);
}

// The parser takes its bytes over (from malloc).
void Parse(Parsed* parsed, const std::string& text, int trusted = 0, const UndoPlace& place = kPlace) {
  char* bytes = static_cast<char*>(malloc(text.size() + 1));
  memcpy(bytes, text.data(), text.size());
  parsed->Good = ParseUndoRecord(bytes, text.size(), place, trusted, &parsed->Record, Collect, parsed);
}

const std::string kRun1 = "RUN\t1\t01D8000000000000\r\n";

}  // namespace

TEST(UndoRecord, LinesAreReadBackAsWritten) {
  // Texts with the characters a record must escape: a tab, a line end, a percent sign.
  UndoLine value("V");
  const unsigned char data[] = {0x41, 0x00, 0xFF};
  value.Text("80000002").Text("Software\\Firma\\Produkt").Text("Na\tme 100%\r\n").Data(3, data, sizeof data);
  std::string v = Line(value);
  EXPECT_EQ(v, "V\t80000002\tSoftware\\Firma\\Produkt\tNa%09me 100%25%0D%0A\t3:4100FF\r\n");
  UndoLine file("R");
  file.Text("C:\\Programme\\Produkt\\\xDC" "bung.exe").Text("C:\\Programme\\Produkt\\stp0123ABCD.old").Number(1234)
      .Time(0x01DA0000000000FFull);
  UndoLine ini("I");
  ini.Text("C:\\Programme\\Produkt\\p.ini").Text("Optionen").Text("Liste").Prior("a=b").Number(1).Number(0);
  UndoLine gone("X");
  gone.Text("80000000").Text(".wrt").Data(0, "", 0).Data(1, "Alt.Typ", 7).Data(0, "Farbe", 5).Data(4, "\x01\0\0\0", 4);

  Parsed p;
  Parse(&p, Header() + kRun1 + v + Line(file) + Line(ini) + Line(gone) + "END\t1\r\n");
  ASSERT_TRUE(p.Good);
  EXPECT_TRUE(p.Refused.empty()) << p.Refused[0];
  ASSERT_EQ(p.Record.Count, 4);
  EXPECT_EQ(p.Record.LastRun, 1);
  EXPECT_EQ(p.Record.OpenRun, 0);
  const UndoEntry& e = p.Record.Entries[0];
  EXPECT_EQ(e.Kind, kUndoValue);
  EXPECT_EQ(e.Root, 0x80000002u);
  EXPECT_STREQ(e.Name, "Na\tme 100%\r\n");
  uint32_t type = 0;
  size_t size = 0;
  int present = 0;
  unsigned char back[8];
  ASSERT_TRUE(DecodeUndoData(e.Prior, &type, back, sizeof back, &size, &present));
  EXPECT_EQ(type, 3u);
  ASSERT_EQ(size, 3u);
  EXPECT_EQ(memcmp(back, data, 3), 0);
  EXPECT_FALSE(DecodeUndoData(e.Prior, &type, back, 2, &size, &present)) << "a value longer than its buffer";

  const UndoEntry& r = p.Record.Entries[1];
  EXPECT_STREQ(r.Path, "C:\\Programme\\Produkt\\\xDC" "bung.exe");
  EXPECT_EQ(r.Size, 1234);
  EXPECT_EQ(r.Time, 0x01DA0000000000FFull);
  const UndoEntry& i = p.Record.Entries[2];
  EXPECT_STREQ(i.Prior, "=a=b");
  EXPECT_EQ(i.Flags, 1);
  const UndoEntry& x = p.Record.Entries[3];
  ASSERT_EQ(x.Flags, 2);
  const char* name;
  const char* bytes;
  ASSERT_TRUE(DeletedValueAt(x, 1, &name, &bytes));
  ASSERT_TRUE(DecodeUndoData(name, &type, back, sizeof back, &size, &present));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(back), size), "Farbe");
  EXPECT_STREQ(bytes, "4:01000000");
  EXPECT_FALSE(DeletedValueAt(x, 2, &name, &bytes));
}

// A run without its END line is the one a killed setup left; a torn last line never happened
// (its change starts only once the note is whole on disk).
TEST(UndoRecord, RunsAndTheOpenOne) {
  std::string finished = kRun1 + "N\tC:\\Programme\\Produkt\\a.exe\t10\t01D8000000000001\r\nEND\t1\r\n";
  std::string open = "RUN\t2\t01D9000000000000\r\nC\tC:\\Programme\\Produkt\\Daten\r\n";
  Parsed p;
  Parse(&p, Header() + finished + open + "N\tC:\\Programme\\Produkt\\b");
  ASSERT_TRUE(p.Good);
  EXPECT_EQ(p.Record.OpenRun, 2);
  EXPECT_EQ(p.Record.OpenRunTime, 0x01D9000000000000ull);
  EXPECT_EQ(p.Record.OpenRunOffset, Header().size() + finished.size());
  ASSERT_EQ(p.Record.Count, 2);
  EXPECT_EQ(p.Record.Entries[1].Run, 2);
  EXPECT_EQ(p.Refused, std::vector<std::string>{"7: unvollständige Zeile"});

  // A record that goes back, or an entry outside a run, is refused line by line.
  Parsed loops;
  Parse(&loops, Header() + kRun1 + "END\t1\r\n" + kRun1 + "C\tC:\\Programme\\Produkt\\x\r\nEND\t1\r\n" +
                    "C\tC:\\Programme\\Produkt\\y\r\n");
  ASSERT_TRUE(loops.Good);
  EXPECT_EQ(loops.Record.Count, 0);
  EXPECT_EQ(loops.Refused.size(), 4u);
}

// The start of every setup and uninstaller looks at the record's end first: only a record
// whose last run ended, as written, goes without a parse.
TEST(UndoRecord, TheQuickLookAtTheEndAgreesWithTheParse) {
  std::string finished = kRun1 + "N\tC:\\Programme\\Produkt\\a.exe\t10\t01D8000000000001\r\nEND\t1\r\n";
  std::string second = "RUN\t12\t01D9000000000000\r\nC\tC:\\Programme\\Produkt\\Daten\r\n";
  struct Case {
    std::string Text;
    int Closed;
  } cases[] = {
      {Header() + finished, 1},
      {Header() + finished + second + "END\t12\r\n", 1},
      {Header() + finished + second, 0},                  // killed in its second run
      {Header() + finished + second + "END\t1", 0},       // cut off in its END line
      {Header() + finished + second + "END\t12", 0},      // the same, its line end missing
      {Header() + finished + second + "END\t1\r\n", 0},   // an END of another run
      {Header() + finished + second + "END\t120\r\n", 0}, // the number's start alone is not it
      {Header() + finished + second + "END\t12\tx\r\n", 0},
      {Header() + "END\t1\r\n", 0},                    // no run at all
      {"END\t1\r\n", 0},
      {"", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UndoRecordEndsClosed(c.Text.data(), c.Text.size()), c.Closed) << c.Text;
    Parsed p;
    Parse(&p, c.Text);
    if (c.Closed) EXPECT_TRUE(p.Good && p.Record.OpenRun == 0) << c.Text;
  }
  EXPECT_EQ(UndoRecordEndsClosed(nullptr, 0), 0);
}

TEST(UndoRecord, ARecordOfAnotherProductOrFolderIsRefusedWhole) {
  for (const std::string& header :
       {std::string("UNDO\t1\tFirma\tAnderes\tC:\\Programme\\Produkt\r\n"), Header("C:\\Programme\\Anderes"),
        std::string("UNDO\t2\tFirma\tProdukt\tC:\\Programme\\Produkt\r\n"), std::string("MZ\x90\0\r\n", 6)}) {
    Parsed p;
    Parse(&p, header + kRun1 + "C\tC:\\Programme\\Produkt\\x\r\n");
    EXPECT_FALSE(p.Good) << header;
  }
  Parsed folded;  // the folder as Windows compares names
  Parse(&folded, Header("c:\\PROGRAMME\\produkt") + kRun1);
  EXPECT_TRUE(folded.Good);
}

// What someone else may have written: paths that lead elsewhere, system files, keys that start
// programs. An untrusted record keeps to the product's own folder, its shortcuts and the rest
// of what a record may touch; the same lines are taken from a record this process wrote.
TEST(UndoRecord, AnUntrustedRecordKeepsToWhatItMayTouch) {
  struct Case {
    const char* Line;
    bool Untrusted;  // taken from a record read back
    bool Trusted;    // taken from one this process wrote: only its form counts
  };
  const Case cases[] = {
      {"N\tC:\\Programme\\Produkt\\Daten\\a.dat\t1\t0000000000000001", true, true},
      {"N\tC:\\Programme\\Produkt\\..\\..\\Windows\\win.ini\t1\t0000000000000001", false, false},
      {"N\tC:\\Programme\\Produkt\\.\\a.dat\t1\t0000000000000001", false, false},
      {"N\tC:\\Programme\\Produkt\\CON\t1\t0000000000000001", false, false},
      {"N\tC:\\Programme\\Produkt\\nul.txt\t1\t0000000000000001", false, false},
      {"N\tC:\\Programme\\Produkt\\a.dat:strom\t1\t0000000000000001", false, false},
      {"N\tC:\\Programme\\Produkt\\a.dat.\t1\t0000000000000001", false, false},
      {"N\tProdukt\\a.dat\t1\t0000000000000001", false, false},
      {"N\t\\\\?\\C:\\Programme\\Produkt\\a.dat\t1\t0000000000000001", false, false},
      {"N\tC:\\Programme\\Produkt\\a.dat\t-1\t0000000000000001", false, false},
      {"N\tC:\\Programme\\Produktion\\a.dat\t1\t0000000000000001", false, true},
      {"N\tC:\\Windows\\system32\\kernel32.dll\t1\t0000000000000001", false, true},
      {"N\tC:\\Users\\Anna\\Documents\\Brief.doc\t1\t0000000000000001", false, true},
      {"N\tC:\\Users\\Anna\\Desktop\\Produkt.lnk\t1\t0000000000000001", true, true},
      {"N\tC:\\Users\\Anna\\Desktop\\Produkt.exe\t1\t0000000000000001", false, true},
      {"R\tC:\\Programme\\Produkt\\a.dll\tC:\\Programme\\Produkt\\stp0123ABCD.old\t1\t0000000000000001", true, true},
      {"R\tC:\\Programme\\Produkt\\a.dll\tC:\\Programme\\Produkt\\b.dll\t1\t0000000000000001", false, false},
      {"R\tC:\\Programme\\Produkt\\a.dll\tC:\\Windows\\stp0123ABCD.old\t1\t0000000000000001", false, false},
      {"C\tC:\\Programme", true, true},
      {"C\tC:\\", false, false},
      {"C\tC:\\Windows\\Fonts", false, true},
      {"G\tC:\\Programme\\Produkt\\a.dll", true, true},
      {"G\tC:\\Users\\Anna\\boese.dll", false, true},
      {"U\tC:\\Programme\\Produkt\\a.dll", false, true},  // the uninstaller's own note
      {"V\t80000002\tSoftware\\Firma\\Produkt\tPath\t-", true, true},
      {"V\t80000002\tSoftware\\Microsoft\\Windows\\CurrentVersion\\Run\tx\t1:6100", false, true},
      {"V\t80000001\tsoftware\\microsoft\\windows\\currentversion\\runonce\tx\t-", false, true},
      {"V\t80000000\t.exe\t\t1:6100", false, true},
      {"V\t80000000\t.wrt\t\t1:6100", true, true},
      {"V\t80000000\t.wrt\t\t1:610", false, false},
      {"V\t80000002\t\\Software\tx\t-", false, false},
      {"V\t80000004\tSoftware\tx\t-", false, false},
      {"K\t80000002\tSystem\\CurrentControlSet\\Services\\Boese", true, true},  // removed only when empty
      {"V\t80000002\tSoftware\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Firma Produkt\tDisplayName\t-", true, true},
      {"V\t80000002\tSoftware\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Anderes\tDisplayName\t-", false, true},
      {"I\tC:\\Windows\\system.ini\tboot\tshell\t=boese.exe\t1\t1", false, true},
      {"I\tC:\\Windows\\produkt.ini\tOptionen\tPfad\t-\t0\t0", true, true},
      {"S\tC:\\Windows\\system32\\a.dll\t4:02000000", true, true},
      {"Z\tC:\\Programme\\Produkt\\a.dll", false, false},
  };
  for (const Case& c : cases) {
    for (int trusted = 0; trusted <= 1; ++trusted) {
      Parsed p;
      Parse(&p, Header() + kRun1 + c.Line + "\r\n", trusted);
      ASSERT_TRUE(p.Good);
      EXPECT_EQ(p.Record.Count, (trusted ? c.Trusted : c.Untrusted) ? 1 : 0) << c.Line << (trusted ? " (trusted)" : "");
      EXPECT_EQ(p.Refused.size(), p.Record.Count ? 0u : 1u) << "each refusal is told";
    }
  }
}

// The uninstaller decides about a file at its oldest entry, by its newest one: a file the first
// run wrote and the second replaced is the product's, as the second left it.
TEST(UndoRecord, FilesFoldOverRuns) {
  std::string text = Header() + kRun1 + "N\tC:\\Programme\\Produkt\\a.exe\t10\t0000000000000001\r\n" +
                     "N\tC:\\Programme\\Produkt\\b.dat\t5\t0000000000000001\r\nEND\t1\r\n" +
                     "RUN\t2\t01D9000000000000\r\n" +
                     "R\tC:\\Programme\\Produkt\\A.EXE\tC:\\Programme\\Produkt\\stp00000000.old\t20\t0000000000000002\r\n" +
                     "Q\tC:\\Programme\\Produkt\\b.dat\r\nEND\t2\r\n";
  Parsed p;
  Parse(&p, text);
  ASSERT_TRUE(p.Good);
  ASSERT_EQ(p.Record.Count, 4);
  std::vector<int32_t> newest(4);
  std::vector<unsigned char> oldest(4);
  ASSERT_TRUE(FoldFileEntries(p.Record, newest.data(), oldest.data()));
  EXPECT_EQ(oldest, (std::vector<unsigned char>{1, 1, 0, 0}));
  EXPECT_EQ(newest[0], 2);
  EXPECT_EQ(newest[1], 1);
  EXPECT_EQ(newest[2], 2);
  EXPECT_EQ(newest[3], -1);  // found current: not the product's
}

TEST(UndoRecord, AsideNames) {
  char aside[260];
  ASSERT_TRUE(AsidePathFor(aside, "C:\\Prog\\gross.dat", 0));
  std::string first = aside;
  EXPECT_EQ(first.substr(0, 11), "C:\\Prog\\stp");
  EXPECT_EQ(first.size(), 23u);  // "stpXXXXXXXX.old"
  EXPECT_TRUE(IsAsidePathOf(aside, "C:\\Prog\\gross.dat"));
  EXPECT_FALSE(IsAsidePathOf(aside, "C:\\Anders\\gross.dat"));
  AsidePathFor(aside, "c:\\PROG\\GROSS.DAT", 0);
  EXPECT_EQ(first.substr(8), aside + 8) << "the same file, however its name is written";
  AsidePathFor(aside, "C:\\Prog\\gross.dat", 1);
  EXPECT_NE(first, aside);
  std::string longTarget = "C:\\" + std::string(245, 'f') + "\\a.b";
  ASSERT_TRUE(AsidePathFor(aside, longTarget.c_str(), 0));
  EXPECT_EQ(aside[strlen(aside) - 9], '~') << "the short form where the long one does not fit";
  EXPECT_TRUE(IsAsidePathOf(aside, longTarget.c_str()));
  EXPECT_FALSE(AsidePathFor(aside, ("C:\\" + std::string(255, 'f') + "\\a").c_str(), 0));
  EXPECT_FALSE(AsidePathFor(aside, "ohne Ordner", 0));
  EXPECT_FALSE(IsAsidePathOf("C:\\Prog\\stp0123ABC.old", "C:\\Prog\\gross.dat"));
  EXPECT_FALSE(IsAsidePathOf("C:\\Prog\\stp0123ABCDE.old", "C:\\Prog\\gross.dat"));
}
