package metascribe;

import java.io.BufferedInputStream;
import java.io.BufferedOutputStream;
import java.io.ByteArrayInputStream;
import java.io.ByteArrayOutputStream;
import java.io.DataInputStream;
import java.io.DataOutputStream;
import java.io.EOFException;
import java.io.FileDescriptor;
import java.io.FileInputStream;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.PrintStream;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.Set;

/**
 * Keeps one virtual machine with the PDF toolkit loaded and runs one toolkit request after
 * another in it, so a batch does not pay for starting Java once per file.
 *
 * <p>Every number is a big-endian 32-bit integer and every block is a length followed by that
 * many bytes, so any byte of a path or value survives. The host first writes the number
 * 0x4D534831 once it has found the toolkit. A request is the number of arguments, each argument
 * as a block of UTF-8, then a block that the toolkit reads as its standard input. The answer is
 * the exit code, then what the run wrote to standard error, then to standard output, as blocks.
 * The host ends at the end of its input.
 *
 * <p>The toolkit reads a named input file with one system call per byte, thousands of calls for
 * even a small file, which costs more than all its other work. So for a request that reads one
 * file and nothing from standard input, the host reads the file at once and runs the toolkit on
 * those bytes as its standard input ("-"), which it parses the same way. Whatever went wrong
 * there, or made the toolkit say anything, is run again exactly as asked, so every message and
 * exit code is the toolkit's own answer to the original request.
 */
public final class ToolkitHost {
    private static final int READY = 0x4D534831;
    private static final int MISSING_TOOLKIT = 3;
    private static final int BLOCK_LIMIT = 64 * 1024 * 1024;
    // Larger files are left to the toolkit: their bytes would sit in memory several times over.
    private static final long HAND_OVER_LIMIT = 32L * 1024 * 1024;
    private static final Set<String> SINGLE_INPUT_OPERATIONS = Set.of("update_info",
            "update_info_utf8", "dump_data", "dumpdata", "dump_data_utf8", "dumpdata_utf8");

    private ToolkitHost() {}

    public static void main(String[] args) throws IOException {
        DataInputStream requests =
                new DataInputStream(new BufferedInputStream(new FileInputStream(FileDescriptor.in)));
        DataOutputStream answers = new DataOutputStream(
                new BufferedOutputStream(new FileOutputStream(FileDescriptor.out)));
        PrintStream hostErr = System.err;

        Method run;
        try {
            run = Class.forName("com.gitlab.pdftk_java.pdftk")
                          .getMethod("main_noexit", String[].class);
        } catch (ReflectiveOperationException missing) {
            hostErr.println("The toolkit cannot run in this host: " + missing);
            System.exit(MISSING_TOOLKIT);
            return;
        }
        answers.writeInt(READY);
        answers.flush();

        while (true) {
            int count;
            try {
                count = requests.readInt();
            } catch (EOFException end) {
                return;
            }
            if (count < 0 || count > 100000) {
                hostErr.println("Malformed request: " + count + " arguments");
                System.exit(2);
            }
            String[] arguments = new String[count];
            for (int i = 0; i < count; ++i)
                arguments[i] = new String(readBlock(requests), StandardCharsets.UTF_8);
            byte[] input = readBlock(requests);

            Run done = null;
            boolean fatal = false;
            byte[] contents = input.length == 0 ? contentsToHandOver(arguments) : null;
            if (contents != null) {
                String[] fromInput = arguments.clone();
                fromInput[0] = "-";
                done = runToolkit(run, fromInput, contents);
                fatal = done.fatal;
                if (done.code != 0 || done.err.size() != 0)
                    done = null;
            }
            if (done == null) {
                done = runToolkit(run, arguments, input);
                fatal |= done.fatal;
            }
            answers.writeInt(done.code);
            writeBlock(answers, done.err.toByteArray());
            writeBlock(answers, done.out.toByteArray());
            answers.flush();
            // After an error such as running out of memory the next request gets a fresh host.
            if (fatal)
                System.exit(1);
        }
    }

    private static final class Run {
        int code;
        boolean fatal;
        final ByteArrayOutputStream err = new ByteArrayOutputStream();
        final ByteArrayOutputStream out = new ByteArrayOutputStream();
    }

    private static Run runToolkit(Method run, String[] arguments, byte[] input) {
        Run done = new Run();
        System.setIn(new ByteArrayInputStream(input));
        System.setErr(new PrintStream(done.err, true, StandardCharsets.UTF_8));
        System.setOut(new PrintStream(done.out, true, StandardCharsets.UTF_8));
        try {
            done.code = ((Number) run.invoke(null, (Object) arguments)).intValue();
        } catch (InvocationTargetException failure) {
            // What an uncaught exception does to a toolkit process: a trace and status 1.
            failure.getCause().printStackTrace(System.err);
            done.fatal = failure.getCause() instanceof Error;
            done.code = 1;
        } catch (ReflectiveOperationException | RuntimeException failure) {
            failure.printStackTrace(System.err);
            done.code = 1;
        }
        System.out.flush();
        System.err.flush();
        return done;
    }

    // The input file's bytes when the request reads just that one file, by its absolute path,
    // straight before the operation; otherwise nothing.
    private static byte[] contentsToHandOver(String[] arguments) {
        if (arguments.length < 2 || !arguments[0].startsWith("/")
                || !SINGLE_INPUT_OPERATIONS.contains(arguments[1]))
            return null;
        try {
            Path file = Paths.get(arguments[0]);
            if (!Files.isRegularFile(file) || Files.size(file) > HAND_OVER_LIMIT)
                return null;
            return Files.readAllBytes(file);
        } catch (IOException | RuntimeException unreadable) {
            // The toolkit finds and reports the same problem itself.
            return null;
        }
    }

    private static byte[] readBlock(DataInputStream in) throws IOException {
        int length = in.readInt();
        if (length < 0 || length > BLOCK_LIMIT)
            throw new IOException("Malformed request: block of " + length + " bytes");
        byte[] block = new byte[length];
        in.readFully(block);
        return block;
    }

    private static void writeBlock(DataOutputStream out, byte[] block) throws IOException {
        out.writeInt(block.length);
        out.write(block);
    }
}
