// link/Connection
