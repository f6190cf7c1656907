/* sodium_init picks the fastest code of every primitive of libsodium. The
 * page compiles only the secretstream's, in portable C: for the primitives
 * left out there is nothing to pick. */

int _crypto_pwhash_argon2_pick_best_implementation(void) { return 0; }
int _crypto_generichash_blake2b_pick_best_implementation(void) { return 0; }
int _crypto_scalarmult_curve25519_pick_best_implementation(void) { return 0; }
int _crypto_stream_salsa20_pick_best_implementation(void) { return 0; }
