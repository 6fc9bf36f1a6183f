/* A TLS front for a test's loopback HTTP server, run as a Unix program
 * (Wine 8's Schannel has no server side):
 *   tls_front <upstream port> <control port>
 * Connects to the test's control port on 127.0.0.1 (Wine gives a Unix
 * program no pipes for its standard input and output), listens on the
 * loopback addresses at a port of its own, which it writes to the control
 * connection as one line, and relays every connection, decrypted, to the
 * upstream port on 127.0.0.1, byte for byte and as soon as bytes arrive, so
 * that the server's slow, silent or endless answers reach the client as the
 * server sends them. The certificate (tls_localhost.pem, for "localhost")
 * and its key (tls_localhost.key) are read from the program's own folder.
 *
 * It ends when the control connection ends (the test let it go, or ended),
 * closing its ports before it closes that connection, and in any case after
 * kLifetimeSeconds; each relayed connection ends with either side, and after
 * kLifetimeSeconds too. */
#define _GNU_SOURCE
#include <arpa/inet.h>
#include <errno.h>
#include <libgen.h>
#include <limits.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <openssl/err.h>
#include <openssl/ssl.h>

enum { kLifetimeSeconds = 200, kHandshakeSeconds = 10 };

static int write_all(int fd, const char* data, size_t size)
{
    while (size > 0) {
        ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0)
            return 0;
        data += n;
        size -= (size_t)n;
    }
    return 1;
}

static int ssl_write_all(SSL* ssl, const char* data, size_t size)
{
    while (size > 0) {
        int n = SSL_write(ssl, data, size > INT_MAX ? INT_MAX : (int)size);
        if (n <= 0)
            return 0;
        data += n;
        size -= (size_t)n;
    }
    return 1;
}

static int connect_local(int port)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    struct sockaddr_in address = {0};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons((unsigned short)port);
    if (fd < 0 || connect(fd, (struct sockaddr*)&address, sizeof(address)) != 0) {
        if (fd >= 0)
            close(fd);
        return -1;
    }
    return fd;
}

/* Says on the standard error (the test's log) why the front ends early. */
static int fail(const char* step)
{
    fprintf(stderr, "tls_front: %s: %s\n", step, strerror(errno));
    return 1;
}

/* One connection, in a process of its own. */
static void relay(SSL_CTX* context, int client, int port)
{
    alarm(kLifetimeSeconds);
    struct timeval handshake = {kHandshakeSeconds, 0};
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &handshake, sizeof(handshake));
    SSL* ssl = SSL_new(context);
    if (!ssl || !SSL_set_fd(ssl, client) || SSL_accept(ssl) != 1)
        return;
    struct timeval none = {0, 0};
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &none, sizeof(none));
    int upstream = connect_local(port);
    if (upstream < 0)
        return;

    char buffer[16384];
    for (;;) {
        if (SSL_pending(ssl) == 0) {
            struct pollfd fds[2] = {{client, POLLIN, 0}, {upstream, POLLIN, 0}};
            if (poll(fds, 2, -1) < 0 && errno != EINTR)
                break;
            if (fds[1].revents) {
                ssize_t n = recv(upstream, buffer, sizeof(buffer), 0);
                if (n <= 0 || !ssl_write_all(ssl, buffer, (size_t)n))
                    break;
                continue;
            }
            if (!fds[0].revents)
                continue;
        }
        int n = SSL_read(ssl, buffer, sizeof(buffer));
        if (n <= 0) {
            int error = SSL_get_error(ssl, n);
            if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE)
                continue;
            break;
        }
        if (!write_all(upstream, buffer, (size_t)n))
            break;
    }
    SSL_shutdown(ssl);
    close(upstream);
}

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    int port = atoi(argv[1]);
    int control = connect_local(atoi(argv[2]));
    if (control < 0)
        return fail("connecting to the control port");
    char folder[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", folder, sizeof(folder) - 1);
    if (length <= 0)
        return fail("finding its own folder");
    folder[length] = '\0';
    const char* here = dirname(folder);
    char certificate[PATH_MAX + 32], key[PATH_MAX + 32];
    snprintf(certificate, sizeof(certificate), "%s/tls_localhost.pem", here);
    snprintf(key, sizeof(key), "%s/tls_localhost.key", here);

    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    if (!context || SSL_CTX_use_certificate_chain_file(context, certificate) != 1 ||
        SSL_CTX_use_PrivateKey_file(context, key, SSL_FILETYPE_PEM) != 1) {
        ERR_print_errors_fp(stderr);
        return 1;
    }

    /* "localhost" may stand for either loopback address. */
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    struct sockaddr_in address = {0};
    socklen_t size = sizeof(address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (listener < 0 || bind(listener, (struct sockaddr*)&address, sizeof(address)) != 0 ||
        listen(listener, 16) != 0 || getsockname(listener, (struct sockaddr*)&address, &size) != 0)
        return fail("listening");
    int listener6 = socket(AF_INET6, SOCK_STREAM, 0);
    struct sockaddr_in6 address6 = {0};
    address6.sin6_family = AF_INET6;
    address6.sin6_addr = in6addr_loopback;
    address6.sin6_port = address.sin_port;
    if (listener6 >= 0 &&
        (bind(listener6, (struct sockaddr*)&address6, sizeof(address6)) != 0 || listen(listener6, 16) != 0)) {
        close(listener6);
        listener6 = -1;
    }
    char line[16];
    int written = snprintf(line, sizeof(line), "%d\n", ntohs(address.sin_port));
    if (!write_all(control, line, (size_t)written))
        return fail("telling its port");

    signal(SIGCHLD, SIG_IGN); /* children are reaped by the system */
    signal(SIGPIPE, SIG_IGN);
    alarm(kLifetimeSeconds);
    for (;;) {
        struct pollfd fds[3] = {{control, POLLIN, 0}, {listener, POLLIN, 0}, {listener6, POLLIN, 0}};
        if (poll(fds, listener6 >= 0 ? 3 : 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return fail("waiting");
        }
        if (fds[0].revents) {
            char byte;
            if (recv(control, &byte, 1, 0) <= 0) {
                close(listener);
                if (listener6 >= 0)
                    close(listener6);
                close(control);
                return 0;
            }
        }
        for (int i = 1; i < 3; ++i) {
            if (!(fds[i].revents & POLLIN))
                continue;
            int client = accept(fds[i].fd, NULL, NULL);
            if (client < 0)
                continue;
            if (fork() == 0) {
                /* The front's end must close its ports and the control
                 * connection at once, whatever is still being relayed. */
                close(listener);
                if (listener6 >= 0)
                    close(listener6);
                close(control);
                relay(context, client, port);
                _exit(0);
            }
            close(client);
        }
    }
}
