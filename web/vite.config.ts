// The page is served from the resource pack (app://dist.pak/), so every address in it is relative.
import { defineConfig } from "vitest/config";
import packageJson from "./package.json";

export default defineConfig({
    base: "./",
    define: { __APP_VERSION__: JSON.stringify(packageJson.version) },
    build: {
        outDir: "dist",
        emptyOutDir: true,
        target: "es2020",
        modulePreload: false,
    },
    test: { include: ["tests/**/*.test.ts"] },
});
