#pragma once
// Connecting to a publishing server on behalf of the user.

class CPublishRoot;

// Connects `root`. When the server's SSH host key is unknown, the user is
// asked whether to trust it, with its fingerprint; a Yes writes it to
// ~/.ssh/known_hosts and connects again. Without a way to ask, or on No, the
// key stays untrusted and the connection fails with the root's sentence.
bool ConnectRemoteRoot(CPublishRoot& root);
