/* A real CDDB client (Debian's libcddb) against cddb-server over HTTP:
 * sites, query and read of one disc, printed one fact a line for the test
 * (cddb_server_process_test.cpp) to compare.
 *
 *   libcddb_client PORT [EMAIL]
 *
 * The disc: two tracks at frame offsets 150 and 17265, 258 seconds (disc id
 * 07010002). Exit status 0 when every step worked, 1 otherwise. */
#include <cddb/cddb.h>
#include <stdio.h>
#include <stdlib.h>

/* libcddb itself leaks a few bytes (cddb_regex_get_string); in a sanitizer
 * build that would fail this program, which checks the server, not the
 * library: its leaks are suppressed, this program's own are still found. */
const char *__lsan_default_suppressions(void);
__attribute__((visibility("default"), used)) const char *__lsan_default_suppressions(void) {
  return "leak:libcddb.so\n";
}

static int fail(cddb_conn_t *conn, const char *step) {
  printf("failed: %s: %s\n", step, cddb_error_str(cddb_errno(conn)));
  return 1;
}

int main(int argc, char **argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: libcddb_client PORT [EMAIL]\n");
    return 2;
  }
  libcddb_init();
  if (getenv("LIBCDDB_CLIENT_DEBUG") != NULL) cddb_log_set_level(CDDB_LOG_DEBUG);
  cddb_conn_t *conn = cddb_new();
  if (conn == NULL) return 1;
  cddb_set_server_name(conn, "127.0.0.1");
  cddb_set_server_port(conn, atoi(argv[1]));
  cddb_http_enable(conn);
  cddb_set_http_path_query(conn, "/~cddb/cddb.cgi");
  cddb_cache_disable(conn);
  cddb_set_timeout(conn, 10);
  cddb_set_email_address(conn, argc > 2 ? argv[2] : "tester@example.org");

  /* sites: the server names itself. */
  if (cddb_sites(conn) != 1) return fail(conn, "sites");
  int sites = 0;
  for (const cddb_site_t *site = cddb_first_site(conn); site != NULL; site = cddb_next_site(conn)) {
    const char *address = NULL;
    unsigned int port = 0;
    cddb_site_get_address(site, &address, &port);
    printf("site=%s:%u %s\n", address ? address : "", port,
           cddb_site_get_protocol(site) == PROTO_HTTP ? "http" : "other");
    ++sites;
  }
  printf("sites=%d\n", sites);

  cddb_disc_t *disc = cddb_disc_new();
  cddb_disc_set_length(disc, 258);
  const int offsets[] = {150, 17265};
  for (int i = 0; i < 2; ++i) {
    cddb_track_t *track = cddb_track_new();
    cddb_track_set_frame_offset(track, offsets[i]);
    cddb_disc_add_track(disc, track);
  }
  cddb_disc_calc_discid(disc);
  printf("discid=%08x\n", cddb_disc_get_discid(disc));
  const int matches = cddb_query(conn, disc);
  if (matches < 0) return fail(conn, "query");
  printf("matches=%d\n", matches);
  if (matches == 0) return 1;
  printf("category=%s\n", cddb_disc_get_category_str(disc));
  if (cddb_read(conn, disc) != 1) return fail(conn, "read");
  printf("artist=%s\n", cddb_disc_get_artist(disc));
  printf("title=%s\n", cddb_disc_get_title(disc));
  printf("year=%u\n", cddb_disc_get_year(disc));
  for (cddb_track_t *t = cddb_disc_get_track_first(disc); t != NULL; t = cddb_disc_get_track_next(disc))
    printf("track%d=%s\n", cddb_track_get_number(t), cddb_track_get_title(t));

  cddb_disc_destroy(disc);
  cddb_destroy(conn);
  libcddb_shutdown();
  return 0;
}
