// Owner of the process's one transport object.
#pragma once

class IConnection;

class CConnectionSingleton {
 public:
  // First call: prepares the guard; later calls only trace.
  static void Init();
  // Destroys the transport and the guard.
  static void fini();
  // The transport for this Windows version, made on first use: 98 SE -> C98Connection,
  // ME -> CMEConnection, anything else -> CNTConnection. Throws code 25 before Init.
  static IConnection& instance();
};
