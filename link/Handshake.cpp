// link/Handshake
