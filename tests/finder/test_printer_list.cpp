// The readers of what printers announce (TXT records, device URIs) and the merging of
// every source's answers into one list.
#include "platform/printer_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A TXT record in wire form from its strings.
std::vector<unsigned char> Wire(std::initializer_list<std::string> strings)
{
    std::vector<unsigned char> out;
    for (const std::string& s : strings) {
        out.push_back(static_cast<unsigned char>(s.size()));
        out.insert(out.end(), s.begin(), s.end());
    }
    return out;
}

struct TxtRow {
    const char* what;
    std::vector<unsigned char> wire;
    PrinterTxt want;
};

class TxtRecord : public ::testing::TestWithParam<TxtRow> {};

TEST_P(TxtRecord, Reads)
{
    const TxtRow& row = GetParam();
    PrinterTxt got = ParseTxtRecord(row.wire.data(), row.wire.size());
    EXPECT_EQ(got.ty, row.want.ty) << row.what;
    EXPECT_EQ(got.product, row.want.product) << row.what;
    EXPECT_EQ(got.note, row.want.note) << row.what;
    EXPECT_EQ(got.pdl, row.want.pdl) << row.what;
    EXPECT_EQ(got.uuid, row.want.uuid) << row.what;
    EXPECT_EQ(got.adminurl, row.want.adminurl) << row.what;
    EXPECT_EQ(got.usbMdl, row.want.usbMdl) << row.what;
}

std::vector<unsigned char> Cut(std::vector<unsigned char> v, std::size_t drop)
{
    v.resize(v.size() - drop);
    return v;
}

INSTANTIATE_TEST_SUITE_P(
    Keys, TxtRecord,
    ::testing::Values(
        TxtRow{"a device's record",
               Wire({"txtvers=1", "ty=Brother HL-L8360CDW", "product=(Brother HL-L8360CDW series)", "note=2nd floor",
                     "pdl=application/postscript,application/vnd.hp-PCL", "UUID=E3248000-80CE-11DB-8000-30055C773BCF",
                     "adminurl=http://10.0.0.7/", "usb_MDL=HL-L8360CDW"}),
               {"Brother HL-L8360CDW", "Brother HL-L8360CDW series", "2nd floor",
                "application/postscript,application/vnd.hp-PCL", "e3248000-80ce-11db-8000-30055c773bcf",
                "http://10.0.0.7/", "HL-L8360CDW"}},
        TxtRow{"keys in any letter case, first one counts, a bare key and an empty key ignored",
               Wire({"TY=First", "ty=Second", "=orphan", "note", "note=later"}),
               {"First", "", "", "", "", "", ""}},
        TxtRow{
            "urn:uuid: prefix and an empty record", Wire({"uuid=urn:uuid:ABCD-1"}), {"", "", "", "", "abcd-1", "", ""}},
        TxtRow{"empty", {}, {}}, TxtRow{"the one empty string of a record with no keys", {0}, {}},
        TxtRow{"a length past the end keeps what came before",
               Cut(Wire({"ty=Ok", "note=cut short"}), 3),
               {"Ok", "", "", "", "", "", ""}},
        TxtRow{"control bytes cannot break a line",
               Wire({std::string("ty=A\nB\x7f", 7)}),
               {"A?B?", "", "", "", "", "", ""}},
        TxtRow{"a value with \"=\" in it", Wire({"adminurl=http://h/?a=b"}), {"", "", "", "", "", "http://h/?a=b", ""}},
        TxtRow{"product without parentheses stays as is", Wire({"product=Plain"}), {"", "Plain", "", "", "", "", ""}}));

struct UriRow {
    const char* uri;
    bool ok;
    const char* host;
    int port;
};

class DeviceUri : public ::testing::TestWithParam<UriRow> {};

TEST_P(DeviceUri, GivesHostAndRawPort)
{
    const UriRow& row = GetParam();
    std::string host = "unchanged";
    int port = -1;
    EXPECT_EQ(ParseDeviceUri(row.uri, host, port), row.ok) << row.uri;
    if (row.ok) {
        EXPECT_EQ(host, row.host) << row.uri;
        EXPECT_EQ(port, row.port) << row.uri;
    } else {
        EXPECT_EQ(host, "unchanged") << row.uri;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Schemes, DeviceUri,
    ::testing::Values(UriRow{"socket://192.168.1.40:9101", true, "192.168.1.40", 9101},
                      UriRow{"socket://printer.lan", true, "printer.lan", 9100},
                      UriRow{"SOCKET://printer.lan:3102/?waiteof=false", true, "printer.lan", 3102},
                      UriRow{"ipp://office.local:631/ipp/print", true, "office.local", 9100},
                      UriRow{"ipps://user:pw@office.local/ipp", true, "office.local", 9100},
                      UriRow{"lpd://10.1.2.3/queue", true, "10.1.2.3", 9100},
                      UriRow{"socket://[fe80::1]:9100", true, "fe80::1", 9100},
                      UriRow{"socket://[fe80::1", false, "", 0}, UriRow{"socket://:9100", false, "", 0},
                      UriRow{"socket://h:0", false, "", 0}, UriRow{"socket://h:65536", false, "", 0},
                      UriRow{"socket://h:91x0", false, "", 0}, UriRow{"usb://Brother/HL?serial=1", false, "", 0},
                      UriRow{"dnssd://Office._ipp._tcp.local/", false, "", 0}, UriRow{"file:///dev/null", false, "", 0},
                      UriRow{"not a uri", false, "", 0}));

// Scripted answers of the sources.
PrinterAnswer Net(const char* name, const char* type, const char* host, const char* address, int port,
                  PrinterTxt txt = {}, int iface = 2)
{
    PrinterAnswer a;
    a.source = kFoundOnNetwork;
    a.serviceName = name;
    a.serviceType = type;
    a.domain = "local";
    a.interfaceIndex = iface;
    a.hostName = host;
    a.address = address;
    a.port = port;
    a.txt = txt;
    return a;
}

PrinterAnswer Queue(const char* name, const char* host, int port, const char* model = "")
{
    PrinterAnswer a;
    a.source = kInstalledHere;
    a.serviceName = name;
    a.hostName = host;
    a.address = host;
    a.port = port;
    a.model = model;
    return a;
}

PrinterAnswer Gone(PrinterAnswer a)
{
    a.kind = PrinterAnswer::Kind::Removed;
    return a;
}

PrinterTxt Txt(const char* uuid, const char* ty = "", const char* note = "")
{
    PrinterTxt t;
    t.uuid = uuid;
    t.ty = ty;
    t.note = note;
    return t;
}

// One expected line: "name|model|address:port|sources|serviceName".
std::string Shown(const PrinterLine& l)
{
    return l.name + "|" + l.model + "|" + PrinterAddressText(l) + "|" + std::to_string(l.sources) + "|" + l.serviceName;
}

struct MergeRow {
    const char* what;
    std::vector<PrinterAnswer> answers;
    std::vector<std::string> lines;
};

class Merge : public ::testing::TestWithParam<MergeRow> {};

TEST_P(Merge, MakesOneLinePerPrinter)
{
    const MergeRow& row = GetParam();
    CPrinterList list;
    for (const PrinterAnswer& a : row.answers) list.Apply(a);
    std::vector<std::string> got;
    for (const PrinterLine& l : list.Lines()) got.push_back(Shown(l));
    EXPECT_EQ(got, row.lines) << row.what;
}

const char* kRaw = kRawPrinterService;
const char* kIpp = kIppPrinterService;
const char* kLpd = kLpdPrinterService;

INSTANTIATE_TEST_SUITE_P(
    Sources, Merge,
    ::testing::Values(
        MergeRow{"one raw service",
                 {Net("Laser", kRaw, "laser.local", "10.0.0.7", 9100, Txt("u1", "HL-1"))},
                 {"Laser|HL-1|10.0.0.7:9100|1|Laser"}},
        MergeRow{
            "IPP and LPD answers alone make no line",
            {Net("Laser", kIpp, "laser.local", "10.0.0.7", 631), Net("Laser", kLpd, "laser.local", "10.0.0.7", 515)},
            {}},
        MergeRow{"the IPP name and model of the same UUID name it, whatever the order",
                 {Net("Office (IPP)", kIpp, "other.local", "10.0.0.7", 631, Txt("u1", "Model X", "Hall")),
                  Net("raw-9100", kRaw, "laser.local", "10.0.0.7", 9100, Txt("u1"))},
                 {"Office (IPP)|Model X|10.0.0.7:9100|1|raw-9100"}},
        MergeRow{"without UUIDs the same host name joins them; IPP is preferred to LPD",
                 {Net("raw", kRaw, "Laser.local.", "10.0.0.7", 9100), Net("LPD name", kLpd, "laser.local", "", 515),
                  Net("IPP name", kIpp, "laser.local", "", 631)},
                 {"IPP name||10.0.0.7:9100|1|raw"}},
        MergeRow{"a companion of another UUID on the same host does not name it",
                 {Net("raw", kRaw, "laser.local", "10.0.0.7", 9100, Txt("u1")),
                  Net("Other", kIpp, "laser.local", "10.0.0.7", 631, Txt("u2"))},
                 {"raw||10.0.0.7:9100|1|raw"}},
        MergeRow{"one service on two interfaces is one line",
                 {Net("Laser", kRaw, "laser.local", "10.0.0.7", 9100, {}, 2),
                  Net("Laser", kRaw, "laser.local", "10.0.1.7", 9100, {}, 3)},
                 {"Laser||10.0.0.7:9100|1|Laser"}},
        MergeRow{"a moved printer keeps its line by UUID under a new name",
                 {Net("Old name", kRaw, "a.local", "10.0.0.7", 9100, Txt("u1")),
                  Net("New name", kRaw, "b.local", "10.0.0.9", 9100, Txt("u1"))},
                 {"Old name||10.0.0.7:9100|1|Old name"}},
        MergeRow{"two printers of one address but different UUIDs stay apart",
                 {Net("A", kRaw, "a.local", "10.0.0.7", 9100, Txt("u1")),
                  Net("B", kRaw, "a.local", "10.0.0.7", 9100, Txt("u2"))},
                 {"A||10.0.0.7:9100|1|A", "B||10.0.0.7:9100|1|B"}},
        MergeRow{"a queue and the announcement of its address and port are one line, named by the network",
                 {Queue("office_laser", "10.0.0.7", 9100, "Brother HL (CUPS)"),
                  Net("Laser", kRaw, "laser.local", "10.0.0.7", 9100, Txt("u1", "HL-1"))},
                 {"Laser|Brother HL (CUPS)|10.0.0.7:9100|3|Laser"}},
        MergeRow{"a queue on another port is a line of its own",
                 {Net("Laser", kRaw, "laser.local", "10.0.0.7", 9100), Queue("q", "10.0.0.7", 9101)},
                 {"Laser||10.0.0.7:9100|1|Laser", "q||10.0.0.7:9101|2|"}},
        MergeRow{"removal takes the line away; the queue stays",
                 {Queue("q", "10.0.0.7", 9100), Net("Laser", kRaw, "laser.local", "10.0.0.7", 9100),
                  Gone(Net("Laser", kRaw, "", "", 0))},
                 {"q||10.0.0.7:9100|2|"}},
        MergeRow{"removal on one interface keeps the other",
                 {Net("Laser", kRaw, "laser.local", "10.0.0.7", 9100, {}, 2),
                  Net("Laser", kRaw, "laser.local", "10.0.1.7", 9100, {}, 3),
                  Gone(Net("Laser", kRaw, "", "", 0, {}, 2))},
                 {"Laser||10.0.1.7:9100|1|Laser"}},
        MergeRow{
            "an answer again replaces the first (a printer that moved)",
            {Net("Laser", kRaw, "laser.local", "10.0.0.7", 9100), Net("Laser", kRaw, "laser.local", "10.0.0.8", 9100)},
            {"Laser||10.0.0.8:9100|1|Laser"}},
        MergeRow{"answers without address or port are left out",
                 {Net("NoAddr", kRaw, "x.local", "", 9100), Net("NoPort", kRaw, "x.local", "10.0.0.1", 0)},
                 {}},
        MergeRow{"IPv6 addresses are bracketed",
                 {Net("Six", kRaw, "six.local", "fd00::7", 9100)},
                 {"Six||[fd00::7]:9100|1|Six"}}));

TEST(MergeChanges, ApplySaysWhetherTheLinesChanged)
{
    CPrinterList list;
    EXPECT_FALSE(list.Apply(Net("Laser", kIpp, "laser.local", "10.0.0.7", 631)));
    EXPECT_TRUE(list.Apply(Net("Laser", kRaw, "laser.local", "10.0.0.7", 9100)));
    EXPECT_FALSE(list.Apply(Net("Laser", kRaw, "laser.local", "10.0.0.7", 9100)));
    EXPECT_TRUE(list.Apply(Gone(Net("Laser", kRaw, "", "", 0))));
}

}  // namespace
