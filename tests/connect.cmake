# Connecting in the real editor against the simulated instrument and silent
# virtual ports: the port search and the stored pair, and the handshake, the
# heartbeat, store and reset. Both programs need an X display (xvfb-run).
kestra_add_test(ConnectTests GUI SOURCES ConnectTests.cpp LIBS kestra_ui kestra_sim)
kestra_add_test(HandshakeTests GUI SOURCES HandshakeTests.cpp LIBS kestra_ui kestra_sim)
