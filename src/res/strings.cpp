#include "res/strings.h"

#include "platform/resources.h"
#include "platform/version.h"
#include "res/resource.h"

#include <cstdio>

// Texts are byte for byte what the user sees, trailing blanks included.
const QbxStringResource g_qbxStringTable[] = {
    {102, "Quillbox"},
    {103, "Windows sockets initialization failed."},
    {104, "Socket Creation Error"},
    {105, "Name"},
    {106, "Size"},
    {107, "Date & Time"},
    {108, "Socket Connection Error"},
    {109, "Socket error while sending"},
    {110, "Unable to open file "},
    {111, "Socket error while receiving"},
    {112, "Memory allocation error"},
    {113, "Cannot bring directory into memory"},
    {114, "Waiting for printer data"},
    {115, "%d\tof %d (at %.1f K/sec)"},
    {116, "Retrieving File:  "},
    {119, "File not found"},
    {120, "No files matching this User ID"},
    {123, "Do you wish to overwrite this file?"},
    {124, ":  Already exists"},
    {125, "Connecting to Printer"},
    {150, "File not copied"},
    {151, "The printer no longer has the file %s, so it was not copied to %s.\n\n"
          "Nothing was deleted on the printer, and the files not yet copied stay selected. "
          "List the files again to see what the printer holds now."},
    {152, "The file %s has changed on the printer since the list was made (a scan may still "
          "have been in progress), so it was not copied to %s.\n\n"
          "Nothing was deleted on the printer, and the files not yet copied stay selected. "
          "List the files again, then retrieve the file once more."},
    {153, "The printer ended the transfer of %s before the whole file had arrived, so it was "
          "not copied to %s and the part received was removed.\n\n"
          "Nothing was deleted on the printer, and the files not yet copied stay selected. "
          "Check the printer and its network connection, then retrieve the file again."},
    {154, "The printer did not answer the request for %s with the file, so nothing was "
          "copied to %s.\n\n"
          "Nothing was deleted on the printer, and the files not yet copied stay selected. "
          "Check that the address and port are those of the printer, then try again."},
    {155, "The name of the file %s on the printer holds characters that cannot be sent in a "
          "request, so it was not copied.\n\n"
          "Nothing was deleted on the printer, and the files not yet copied stay selected."},
    {156, "The printer answered the request for %s with a different file, so nothing was "
          "copied to %s.\n\n"
          "Nothing was deleted on the printer, and the files not yet copied stay selected. "
          "Check that the address and port are those of the printer, then try again."},
    {157, "The file %s is too large for the printer to send in one piece (2147483647 bytes or more; "
          "a cut answer announces that size too), so it was not copied.\n\n"
          "It stays on the printer; the other files are retrieved as usual."},

    // The listing.
    {160, "Listing stopped"},
    {161, "The printer stopped the listing with an error: %s. %s\n\n"
          "Nothing is shown and nothing was deleted on the printer."},
    {162, "Its file-system access may be switched off; ask the printer's administrator to allow it."},
    {163, "Try again; if it happens again, the printer cannot run the listing."},
    {164, "The printer stopped the listing and said: \"%s\". %s\n\n"
          "Nothing is shown and nothing was deleted on the printer."},
    {165, "The answer from %s, port %d, ended before the listing did: it is not a printer's listing, "
          "or the printer broke it off.\n\n"
          "Check that the address and port are those of the printer (its raw print port, usually 9100), "
          "then try again."},
    {166, "%d of this user's files lie on another disk of the printer. Quillbox cannot name them safely "
          "for copying or deleting, so they are not shown; they stay on the printer."},

    // Local files.
    {170, "%s\n\nNo scan can be saved there. Choose another folder."},
    {171, "The name %s is too long for a file in that folder. Choose a shorter name."},
    {172, "%s is a folder; a scan cannot replace it. Choose another name."},
    {173, "%s\n\nThe copy was not saved and the file stays on the printer; the files not yet "
          "retrieved were left as well. Make room or choose another folder, then retrieve them again."},
    {174, "%s\n\nIt holds an incomplete copy of a scan; delete it yourself."},
    {175, "Unable to save file"},
    {176, "%s\n\nThe file was not copied and stays on the printer; the files not yet retrieved "
          "were left as well. Choose a folder that can be written, then retrieve them again."},
    {177, "%s\n\nThe copy was not saved and the file stays on the printer; the files not yet retrieved "
          "were left as well. Retrieve them again and choose another name, or move that file away first."},
    {178, "Waiting for the printer to finish the scan"},

    // Whole sentences for texts that used to be glued around a name, so that every
    // language can put the name where its grammar wants it.
    {190, "Retrieving File:  %s%s"},  // the user ID, then the file's name
    {191, "%s:  Already exists"},
    // The file list's dates: MM month, DD day, YY year.
    {193, "MM/DD/YY"},
    {192, "The connection to the printer failed with network error %d. Check the printer's "
          "address and port, and that it is switched on, then try again."},
    {194, "These scans could not be put into a PDF without loss, so each was saved as the TIFF image "
          "the printer sent, under its .TIF name:\n\n%s\nOpen them with an image viewer."},
    {195, "Saved as TIFF"},
    {196, "it is too large to convert"},

    // Socket error texts, numbered like the Windows Sockets error codes.
    {10004, "A blocking operation was interrupted"},
    {10013, "The requested address is a broadcast address, but the appropriate flag was not set."},
    {10014, "An improper pointer was passed  in a call, or a buffer was too small."},
    // Also what a printer host name that cannot be looked up gives.
    {10022, "The host name is unknown, or an address or argument is not valid. Check the printer's address."},
    {10024, "Too many open sockets. "},
    {10035, "The socket is marked as nonblocking and no connections are present to be accepted. "},
    {10036, "A blocking Windows Sockets operation is in progress."},
    {10037, "Operation already in progress. "},
    {10038, "The descriptor is not a socket. "},
    {10039, "A destination address is required."},
    {10040, "The datagram was too large to fit into the specified buffer and was truncated."},
    {10041, "The specified port is the wrong type for this socket."},
    {10042, "The option is unknown or unsupported. "},
    {10043, "The specified port is not supported."},
    {10044, "The specified socket type is not supported in this address family. "},
    {10045, "The referenced socket is not a type that supports connection-oriented service."},
    {10046, "The protocol family has not been configured into the system or no implementation for it exists."},
    {10047, "The specified address family is not supported."},
    {10048, "The specified address is already in use. "},
    {10049, "The specified address is not available from the local machine."},
    {10050, "The Windows Sockets implementation detected that the network subsystem failed."},
    {10051, "The network cannot be reached from this host at this time."},
    {10052, "Connection has timed out when SO_KEEPALIVE is set."},
    {10053, "The virtual circuit was aborted due to timeout or other failure."},
    {10054, "The virtual circuit was reset by the remote side."},
    {10055, "No buffer space is available. The socket cannot be created."},
    {10056, "The socket is already connected."},
    {10057, "The socket is not connected."},
    {10058, "The socket has been shut down."},
    {10059, "Too many references to some kernel object."},
    {10060, "Attempt to connect timed out without establishing a connection."},
    {10061, "The attempt to connect was rejected."},
    {10062, "Cannot translate a name."},
    {10063, "A name component or a name was too long."},
    {10064, "A socket operation failed because the destination host was down."},
    {10065, "A socket operation was attempted to an unreachable host."},
    {10067, "Too many applications are trying to use the socket interface."},
    {10068, "Too many users."},
    {10069, "Ran out of disk quota."},
    {10070, "The file handle reference is no longer available."},
    {10071, "The item is not available locally."},
    {10091, "Network subsystem on local machine not available."},
    {10093, "A successful AfxSocketInit must occur before using this API."},
    {10101, "Remote shutdown in progress."},
    {11001, "The host name cannot be found in the database(s) being queried."},
    {11002, "An error occurred during hostname resolution. A retry at some time later may be successful."},
    {11003, "A non recoverable error occurred while looking up a host name.\nUse the dotted decimal format."},
    {11004, "Host name has been found but there is no address for it."},

    // Printers Found.
    {180, "Looking for printers on the network and on this computer\u2026"},
    {181, "1 printer found. Choose it and press Use."},
    {182, "%d printers found. Choose one and press Use."},
    {183, "No printers found. Cancel, then type the printer's address and port."},
    {184, "network"},
    {185, "this computer"},
    {186, "network, this computer"},
    {187, "Looking for %s\u2026"},

    // About box.
    {11005, "About Quillbox"},
    {11006, "Version %s for " QBX_BUILT_FOR " %s"},
};

const int g_qbxStringCount = static_cast<int>(sizeof g_qbxStringTable / sizeof g_qbxStringTable[0]);

const char* QbxFindString(unsigned id)
{
    for (int i = 0; i < g_qbxStringCount; ++i) {
        if (g_qbxStringTable[i].id == id) return g_qbxStringTable[i].text;
    }
    return nullptr;
}

void QbxSocketErrorText(int code, char* out, std::size_t size)
{
    if (!out || size == 0) return;
    // Through the resource module when one is registered, so the text is in the user's language.
    auto find = [](unsigned id) -> const char* {
        const char* english = QbxFindString(id);
        return english && GetResourceModule() ? GetStringRes(id) : english;
    };
    const char* text = code > 0 ? find(static_cast<unsigned>(code)) : nullptr;
    if (text)
        std::snprintf(out, size, "%s", text);
    else
        std::snprintf(out, size, find(IDS_NETWORK_ERROR_NUMBER), code);
}
