// A small X session manager (XSMP over ICE, through libSM's manager side) for driving a real
// program through a logout. It listens on a local socket only, prints "listening NETID" (the
// value for SESSION_MANAGER), then reads commands from standard input, one a line, and sends
// them to every connected client:
//   save global|local|both shutdown|checkpoint   SaveYourself with that save type, interaction
//                                                 allowed (as desktops do at logout)
//   cancel                                        ShutdownCancelled (the user cancelled)
//   die                                           Die (the session ends)
// What the clients answer is printed, one event a line: "registered ID", "interact-request"
// (always granted at once), "save-yourself-done 1|0", "closed". Ends at the end of its input or
// on SIGTERM.
#include <X11/ICE/ICEconn.h>
#include <X11/ICE/ICElib.h>
#include <X11/SM/SMlib.h>
#include <poll.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

volatile sig_atomic_t g_stop = 0;
std::vector<SmsConn> g_clients;
std::vector<IceConn> g_connections;

void event(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

// Only local sockets listen for clients, so letting every client in is safe here.
Bool anyHost(char*) { return True; }

Status registerClient(SmsConn conn, SmPointer, char* previousId) {
    char* id = SmsGenerateClientID(conn);
    const Status ok = SmsRegisterClientReply(conn, id);
    event(std::string("registered ") + (id ? id : "?"));
    std::free(id);
    std::free(previousId);
    return ok;
}

void interactRequest(SmsConn conn, SmPointer, int) {
    event("interact-request");
    SmsInteract(conn);
}
void interactDone(SmsConn, SmPointer, Bool cancel) {
    event(std::string("interact-done ") + (cancel ? "cancel" : "go-on"));
}
void saveYourselfRequest(SmsConn, SmPointer, int, Bool, int, Bool, Bool) {}
void phase2Request(SmsConn conn, SmPointer) { SmsSaveYourselfPhase2(conn); }
void saveYourselfDone(SmsConn, SmPointer, Bool success) {
    event(std::string("save-yourself-done ") + (success ? "1" : "0"));
}
void closeConnection(SmsConn conn, SmPointer, int count, char** reasons) {
    SmFreeReasons(count, reasons);
    for (auto it = g_clients.begin(); it != g_clients.end(); ++it)
        if (*it == conn) {
            g_clients.erase(it);
            break;
        }
    IceConn ice = SmsGetIceConnection(conn);
    SmsCleanUp(conn);
    IceSetShutdownNegotiation(ice, False);
    IceCloseConnection(ice);
    for (auto it = g_connections.begin(); it != g_connections.end(); ++it)
        if (*it == ice) {
            g_connections.erase(it);
            break;
        }
    event("closed");
}
void setProperties(SmsConn, SmPointer, int count, SmProp** props) {
    for (int i = 0; i < count; ++i) SmFreeProperty(props[i]);
    std::free(props);
}
void deleteProperties(SmsConn, SmPointer, int count, char** names) {
    for (int i = 0; i < count; ++i) std::free(names[i]);
    std::free(names);
}
void getProperties(SmsConn conn, SmPointer) { SmsReturnProperties(conn, 0, nullptr); }

Status newClient(SmsConn conn, SmPointer, unsigned long* mask, SmsCallbacks* callbacks, char**) {
    std::memset(callbacks, 0, sizeof *callbacks);
    callbacks->register_client.callback = registerClient;
    callbacks->interact_request.callback = interactRequest;
    callbacks->interact_done.callback = interactDone;
    callbacks->save_yourself_request.callback = saveYourselfRequest;
    callbacks->save_yourself_phase2_request.callback = phase2Request;
    callbacks->save_yourself_done.callback = saveYourselfDone;
    callbacks->close_connection.callback = closeConnection;
    callbacks->set_properties.callback = setProperties;
    callbacks->delete_properties.callback = deleteProperties;
    callbacks->get_properties.callback = getProperties;
    *mask = SmsRegisterClientProcMask | SmsInteractRequestProcMask | SmsInteractDoneProcMask |
            SmsSaveYourselfRequestProcMask | SmsSaveYourselfP2RequestProcMask |
            SmsSaveYourselfDoneProcMask | SmsCloseConnectionProcMask | SmsSetPropertiesProcMask |
            SmsDeletePropertiesProcMask | SmsGetPropertiesProcMask;
    g_clients.push_back(conn);
    return 1;
}

void stop(int) { g_stop = 1; }

// A client that vanished without closing its session leaves only its socket behind.
void ignoreIoError(IceConn) {}

void dropConnection(IceConn ice) {
    for (auto it = g_clients.begin(); it != g_clients.end(); ++it)
        if (SmsGetIceConnection(*it) == ice) {
            SmsCleanUp(*it);
            g_clients.erase(it);
            break;
        }
    for (auto it = g_connections.begin(); it != g_connections.end(); ++it)
        if (*it == ice) {
            g_connections.erase(it);
            break;
        }
    IceSetShutdownNegotiation(ice, False);
    IceCloseConnection(ice);
    event("closed");
}

bool command(const std::string& line) {
    char type[16] = "", kind[16] = "";
    if (std::sscanf(line.c_str(), "save %15s %15s", type, kind) == 2) {
        const int saveType = !std::strcmp(type, "global")  ? SmSaveGlobal
                             : !std::strcmp(type, "local") ? SmSaveLocal
                                                           : SmSaveBoth;
        const Bool shutdown = !std::strcmp(kind, "shutdown");
        for (SmsConn c : g_clients)
            SmsSaveYourself(c, saveType, shutdown, SmInteractStyleAny, False);
    } else if (line == "cancel") {
        for (SmsConn c : g_clients) SmsShutdownCancelled(c);
    } else if (line == "die") {
        for (SmsConn c : g_clients) SmsDie(c);
    } else {
        std::fprintf(stderr, "session_manager: unknown command: %s\n", line.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main() {
    // Stopped by a signal, it still removes its sockets.
    struct sigaction action {};
    action.sa_handler = stop;
    for (int sig : {SIGTERM, SIGINT}) sigaction(sig, &action, nullptr);
    char error[256] = "";
    IceSetIOErrorHandler(ignoreIoError);
    if (!SmsInitialize("ombrelin-tests", "1.0", newClient, nullptr, anyHost, sizeof error, error)) {
        std::fprintf(stderr, "session_manager: %s\n", error);
        return 1;
    }
    int count = 0;
    IceListenObj* listeners = nullptr;
    if (!IceListenForConnections(&count, &listeners, sizeof error, error)) {
        std::fprintf(stderr, "session_manager: %s\n", error);
        return 1;
    }
    std::vector<IceListenObj> local;
    std::string ids;
    for (int i = 0; i < count; ++i) {
        char* id = IceGetListenConnectionString(listeners[i]);
        if (id && (!std::strncmp(id, "local/", 6) || !std::strncmp(id, "unix/", 5))) {
            IceSetHostBasedAuthProc(listeners[i], anyHost);
            local.push_back(listeners[i]);
            ids += (ids.empty() ? "" : ",") + std::string(id);
        }
        std::free(id);
    }
    if (local.empty()) {
        std::fprintf(stderr, "session_manager: no local socket\n");
        return 1;
    }
    event("listening " + ids);

    std::string input;
    while (!g_stop) {
        std::vector<pollfd> fds{{STDIN_FILENO, POLLIN, 0}};
        for (IceListenObj l : local) fds.push_back({IceGetListenConnectionNumber(l), POLLIN, 0});
        for (IceConn c : g_connections) fds.push_back({IceConnectionNumber(c), POLLIN, 0});
        if (poll(fds.data(), fds.size(), -1) < 0) continue;

        if (fds[0].revents) {
            char buffer[256];
            const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0) break;
            input.append(buffer, n);
            for (size_t end; (end = input.find('\n')) != std::string::npos;) {
                command(input.substr(0, end));
                input.erase(0, end + 1);
            }
        }
        for (size_t i = 0; i < local.size(); ++i) {
            if (!fds[1 + i].revents) continue;
            IceAcceptStatus status;
            IceConn conn = IceAcceptConnection(local[i], &status);
            if (!conn || status != IceAcceptSuccess) continue;
            // The connection's own setup is short; finish it before serving anyone else.
            while (IceConnectionStatus(conn) == IceConnectPending)
                if (IceProcessMessages(conn, nullptr, nullptr) != IceProcessMessagesSuccess) break;
            if (IceConnectionStatus(conn) == IceConnectAccepted)
                g_connections.push_back(conn);
            else
                IceCloseConnection(conn);
        }
        const std::vector<IceConn> connections = g_connections;
        for (size_t i = 0; i < connections.size(); ++i) {
            if (!fds[1 + local.size() + i].revents) continue;
            if (IceProcessMessages(connections[i], nullptr, nullptr) == IceProcessMessagesIOError)
                dropConnection(connections[i]);
        }
    }
    IceFreeListenObjs(count, listeners);
    return 0;
}
