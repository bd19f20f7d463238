// A static server for the playground: the repository's files, the page at /web/.
// `node web/serve.mjs [port]`; port 0 picks a free one. Exports serve() for the tests.
import { createServer } from "node:http";
import { readFile } from "node:fs/promises";
import { extname, join, normalize } from "node:path";
import { fileURLToPath } from "node:url";

const root = fileURLToPath(new URL("..", import.meta.url));
const TYPES = { ".html": "text/html", ".js": "text/javascript", ".mjs": "text/javascript", ".css": "text/css", ".json": "application/json", ".png": "image/png", ".csv": "text/csv" };

export function serve(port = 8080) {
  const server = createServer(async (request, response) => {
    const path = normalize(decodeURIComponent(new URL(request.url, "http://x").pathname)).replace(/^(\.\.[/\\])+/, "");
    try {
      const body = await readFile(join(root, path.endsWith("/") ? `${path}index.html` : path));
      response.writeHead(200, { "content-type": `${TYPES[extname(path) || ".html"] ?? "application/octet-stream"}; charset=utf-8` });
      response.end(body);
    } catch {
      response.writeHead(404).end("not found");
    }
  });
  return new Promise((resolve) => server.listen(port, "127.0.0.1", () => resolve(server)));
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  const server = await serve(Number(process.argv[2] ?? 8080));
  console.log(`the playground: http://127.0.0.1:${server.address().port}/web/`);
}
