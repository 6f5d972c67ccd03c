// link/Receive
